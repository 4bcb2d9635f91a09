#!/usr/bin/env python3
"""The maker's servers, played on loopback for the launcher's end-to-end tests
and the demo: the version text, the download page and the client page.

  update_server.py PORT --body TEXT [--status N] [--hang] [--log FILE]

TEXT is the version text published (the e2e library gives the project's).

--hang accepts connections and never answers. Every request line is appended
to the log file. Runs until killed.
"""
import argparse
import http.server
import socketserver
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("port", type=int)
    parser.add_argument("--status", type=int, default=200)
    parser.add_argument("--body", required=True)
    parser.add_argument("--hang", action="store_true")
    parser.add_argument("--log")
    args = parser.parse_args()

    pages = {
        "/ob": "<html><body><h1>Vantro download</h1></body></html>",
        "/client/": "<html><body style='background:#1b2838;color:#fff'>"
                    "<h2>Vantro</h2><p>Spectator client page</p></body></html>",
    }

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def do_GET(self):
            if args.log:
                with open(args.log, "a", encoding="latin-1") as log:
                    log.write(self.requestline + "\n")
            if args.hang:
                time.sleep(3600)
                return
            if self.path == "/kivra/Version.txt":
                status, body = args.status, args.body.encode("latin-1")
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

    Server(("127.0.0.1", args.port), Handler).serve_forever()


if __name__ == "__main__":
    main()
