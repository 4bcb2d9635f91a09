#!/usr/bin/env python3
"""The maker's servers, played on loopback for the launcher's end-to-end tests
and the demo: the version text, the download page and the client page.

  update_server.py PORT (--body TEXT | --body-file FILE) [--status N] [--hang]
                   [--log FILE] [--tls CERT KEY [--tls-versions MIN-MAX]]
                   [--hostile garbage|close]

TEXT is the version text published (the e2e library gives the project's).

--hang accepts connections and never answers (over TLS: not even the
handshake). Every request line is appended to the log file, over TLS followed
by "tls VERSION sni=NAME alpn=PROTOCOL", and "close_notify" when the client
answered the server's. --tls serves
HTTPS with the certificate chain and key (PEM), with TLS versions MIN to MAX
("1.2-1.3" by default; "1.0-1.1" makes a server of the old protocols only).
--hostile (without --tls) answers every connection's first bytes with bytes that are no
TLS (garbage) or with a close (close). Runs until killed.
"""
import argparse
import http.server
import socketserver
import ssl
import time
import warnings

TLS_VERSIONS = {"1.0": "TLSv1", "1.1": "TLSv1_1", "1.2": "TLSv1_2", "1.3": "TLSv1_3"}


def tls_context(cert, key, versions):
    low, high = versions.split("-")
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", DeprecationWarning)
        context.minimum_version = getattr(ssl.TLSVersion, TLS_VERSIONS[low])
        context.maximum_version = getattr(ssl.TLSVersion, TLS_VERSIONS[high])
    # Offered h2 first: a client that offers only http/1.1 gets it.
    context.set_alpn_protocols(["h2", "http/1.1"])
    context.sni_callback = lambda connection, name, unused: setattr(connection, "sni", name)
    if low in ("1.0", "1.1"):
        # Debian's OpenSSL refuses the old protocols below security level 0.
        context.set_ciphers("DEFAULT:@SECLEVEL=0")
    return context


def hostile(connection, how):
    connection.recv(4096)  # the ClientHello
    if how == "garbage":
        connection.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n" * 8)
    connection.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("port", type=int)
    parser.add_argument("--status", type=int, default=200)
    body = parser.add_mutually_exclusive_group(required=True)
    body.add_argument("--body")
    body.add_argument("--body-file")
    parser.add_argument("--hang", action="store_true")
    parser.add_argument("--log")
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--tls-versions", default="1.2-1.3")
    parser.add_argument("--hostile", choices=("garbage", "close"))
    args = parser.parse_args()
    if args.body_file:
        with open(args.body_file, "rb") as published:
            version_text = published.read()
    else:
        version_text = args.body.encode("latin-1")
    context = args.tls and tls_context(args.tls[0], args.tls[1], args.tls_versions)

    pages = {
        "/ob": "<html><body><h1>Vantro download</h1></body></html>",
        "/client/": "<html><body style='background:#1b2838;color:#fff'>"
                    "<h2>Vantro</h2><p>Spectator client page</p></body></html>",
    }

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def handle(self):
            if args.hang and context:
                time.sleep(3600)  # before the handshake's first read
                return
            super().handle()

        def do_GET(self):
            if args.log:
                with open(args.log, "a", encoding="latin-1") as log:
                    log.write(self.requestline + "\n")
                    if context:
                        tls = self.connection
                        log.write(f"tls {tls.version()} sni={getattr(tls, 'sni', None)} "
                                  f"alpn={tls.selected_alpn_protocol()}\n")
            if args.hang:
                time.sleep(3600)
                return
            if self.path == "/kivra/Version.txt":
                status, body = args.status, version_text
            elif self.path in pages:
                status, body = 200, pages[self.path].encode()
            else:
                status, body = 404, b"not here"
            self.send_response(status)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *unused):
            pass

    class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
        daemon_threads = True
        allow_reuse_address = True

        def get_request(self):
            connection, address = self.socket.accept()
            if context:
                # The handshake runs on the connection's own thread, at its
                # first read: a client that stalls holds up no other.
                connection = context.wrap_socket(connection, server_side=True,
                                                 do_handshake_on_connect=False)
            return connection, address

        def process_request(self, request, client_address):
            if args.hostile:
                hostile(request, args.hostile)
                return
            super().process_request(request, client_address)

        def shutdown_request(self, request):
            if isinstance(request, ssl.SSLSocket):
                # close_notify both ways, as nginx ends a connection; the
                # client's answer is logged.
                try:
                    request.settimeout(5)
                    request.unwrap()
                    if args.log:
                        with open(args.log, "a", encoding="latin-1") as log:
                            log.write("close_notify\n")
                except (OSError, ValueError):
                    pass
            super().shutdown_request(request)

        def handle_error(self, request, client_address):
            pass  # a refused handshake is what the tests make happen

    Server(("127.0.0.1", args.port), Handler).serve_forever()


if __name__ == "__main__":
    main()
