# Starts and stops the real servers of the interop suite, each on loopback
# with its own configuration, pid and log files under $work (sourced by
# run.sh, which sets work and prints the checks).
# shellcheck shell=bash

work=${work:?run.sh makes the work folder}

readonly nginx_port=47701        # the main web server
readonly nginx_other_port=47702  # another origin, for redirects off the host
readonly python_port=47703       # HTTP/1.0, closes after every answer
readonly proxy_port=47704
readonly proxy_auth_port=47705   # answers 407 without credentials
readonly socks_port=47706        # SOCKS 4 and 5 without a user
readonly socks_auth_port=47707   # SOCKS 5 with user and password
# nginx over TLS, each port with its own certificate or protocols; the name
# is the certificate's case (see make_certificates).
readonly tls_port=47708          # good for localhost and 127.0.0.1
readonly tls13_port=47709        # the good certificate, TLS 1.3 only
readonly tls_old_port=47710      # the good certificate, TLS 1.0 and 1.1 only
# The bad certificates, each on the port at its place in the list.
readonly tls_bad_certificates="expired not-yet-valid other-name self-signed unknown-ca"
readonly tls_bad_ports="47711 47712 47713 47714 47715"
readonly all_ports="$nginx_port $nginx_other_port $python_port $proxy_port $proxy_auth_port $socks_port $socks_auth_port $tls_port $tls13_port $tls_old_port $tls_bad_ports"

readonly web_user=interop web_password='web-secret'
readonly proxy_user=interop proxy_password='proxy-secret'
# dante checks SOCKS passwords against the system's accounts.
readonly socks_user=vantro-interop socks_password='socks-secret'

started_pids=()

# listening_ports: those of ours that something listens on.
listening_ports() {
  local p
  for p in $all_ports; do
    ss -Hltn "sport = :$p" | grep -q . && echo "$p"
  done
  return 0
}

make_files() {
  mkdir -p "$work/www/files"
  local entry name size
  for entry in 0:0 1:1 1k:1000 64k1:65537 1m:1048576 10m:10485760; do
    name=${entry%%:*} size=${entry#*:}
    head -c "$size" /dev/urandom >"$work/www/files/$name.bin"
  done
  # A day below 10 shows whether dates are written with two digits.
  touch -d '2020-03-05 10:00:00 UTC' "$work/www/files/"*.bin
  printf '%s:%s\n' "$web_user" "$(openssl passwd -apr1 "$web_password")" >"$work/htpasswd"
}

# The suite's own throwaway CAs and certificates, made anew for every run in
# $work/pki (see tests/support/tls-certs.sh).
make_certificates() {
  # shellcheck source=tests/support/tls-certs.sh
  . "$(dirname "${BASH_SOURCE[0]}")/../support/tls-certs.sh"
  make_test_certificates "$work/pki"
}

# tls_server <port> <certificate name> [more directives]: an nginx server
# block over TLS serving the files.
tls_server() {
  cat <<CONF
  server {
    listen 127.0.0.1:$1 ssl;
    root $work/www;
    ssl_certificate $work/pki/$2.pem;
    ssl_certificate_key $work/pki/$2.key;
    ${3:-}
    location = /r/to-http { return 302 http://127.0.0.1:$nginx_port/files/1k.bin?\$args; }
    location = /cookie/check { return 200 "check\n"; }
  }
CONF
}

write_nginx_conf() {
  local www=$work/www tmp=$work/nginx-tmp i bad_servers="" big_value
  local -a certificates ports
  read -ra certificates <<<"$tls_bad_certificates"
  read -ra ports <<<"$tls_bad_ports"
  for i in "${!ports[@]}"; do
    bad_servers+=$(tls_server "${ports[$i]}" "${certificates[$i]}")$'\n'
  done
  big_value=$(head -c 520 /dev/zero | tr '\0' 'c')
  mkdir -p "$tmp"
  cat >"$work/nginx.conf" <<CONF
daemon off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 256; }
http {
  client_body_temp_path $tmp/body;
  proxy_temp_path $tmp/proxy;
  fastcgi_temp_path $tmp/fastcgi;
  uwsgi_temp_path $tmp/uwsgi;
  scgi_temp_path $tmp/scgi;
  default_type application/octet-stream;
  log_format interop "\$server_port\t\$connection\t\$connection_requests\t\$request\t\$http_host\t\$http_authorization\t\$http_if_modified_since\t\$http_if_none_match\t\$http_cookie\t\$http_range\t\$http_connection\t\$status\t\$http_proxy_authorization";
  access_log $work/nginx-access.log interop;
  # Relative Location headers, as the client has to merge them itself.
  absolute_redirect off;
  keepalive_timeout 30s;
  server {
    listen 127.0.0.1:$nginx_port;
    root $www;
    # No length known in advance: HTTP/1.1 answers come chunked.
    location /chunked/ {
      alias $www/files/;
      sub_filter_types *;
      sub_filter 'text-found-in-no-file' '';
    }
    location /idle/ {
      alias $www/files/;
      keepalive_timeout 1s;
    }
    location = /r/301 { return 301 /files/1k.bin?\$args; }
    location = /r/302 { return 302 /files/1k.bin?\$args; }
    location = /r/303 { return 303 /files/1k.bin?\$args; }
    location = /r/307 { return 307 /files/1k.bin?\$args; }
    location = /r/chain { return 302 /r/301?\$args; }
    location = /r/deep/rel { return 302 ../../files/1k.bin?\$args; }
    location /auth/ {
      alias $www/files/;
      auth_basic interop;
      auth_basic_user_file $work/htpasswd;
      location = /auth/here { return 302 /auth/1k.bin?\$args; }
      location = /auth/away { return 302 http://127.0.0.1:$nginx_other_port/files/1k.bin?\$args; }
    }
    location = /cookie/set {
      add_header Set-Cookie "interop=yes; Path=/";
      return 200 "set\n";
    }
    location = /cookie/check { return 200 "check\n"; }
    location = /r/to-https { return 302 https://127.0.0.1:$tls_port/files/1k.bin?\$args; }
    # Four cookies of 520 bytes: the next request's Cookie line passes 2 KiB.
    location = /cookie/big {
      add_header Set-Cookie "big1=$big_value; Path=/";
      add_header Set-Cookie "big2=$big_value; Path=/";
      add_header Set-Cookie "big3=$big_value; Path=/";
      add_header Set-Cookie "big4=$big_value; Path=/";
      return 200 "big\n";
    }
    # Cookies as real sites set them; the client reaches this server under
    # host names through itself as a proxy (nginx serves absolute URLs).
    location = /cookie/rules/set {
      add_header Set-Cookie "hostonly=1; Path=/";
      add_header Set-Cookie "wide=1; Domain=shop.test; Path=/";
      add_header Set-Cookie "dotted=1; Domain=.SHOP.test; Path=/";
      add_header Set-Cookie "suffix=1; Domain=.test; Path=/";
      add_header Set-Cookie "p=1; Path=/cookie/rules/foo";
      add_header Set-Cookie "dir=1";
      add_header Set-Cookie "n=root; Path=/";
      add_header Set-Cookie "n=admin; Path=/cookie/rules/admin";
      add_header Set-Cookie "SID=upper; Path=/";
      add_header Set-Cookie "sid=lower; Path=/";
      add_header Set-Cookie "keep=1; Max-Age=3600; Expires=Thu, 01 Jan 1970 00:00:00 GMT; Path=/";
      add_header Set-Cookie "del=1; Expires=Thu, 01 Jan 2099 00:00:00 GMT; Max-Age=0; Path=/";
      add_header Set-Cookie "huge=1; Max-Age=99999999999; Path=/";
      add_header Set-Cookie "baddate=1; Expires=someday; Path=/; path=/cookie/rules/nowhere; Path=/";
      return 200 "set\n";
    }
    location /cookie/rules/ { return 200 "check\n"; }
  }
  server {
    listen 127.0.0.1:$nginx_other_port;
    root $www;
  }
  ssl_protocols TLSv1.2 TLSv1.3;
$(tls_server "$tls_port" good)
$(tls_server "$tls13_port" good "ssl_protocols TLSv1.3;")
$(tls_server "$tls_old_port" good "ssl_protocols TLSv1 TLSv1.1; ssl_ciphers DEFAULT@SECLEVEL=0;")
$bad_servers
}
CONF
}

# write_tinyproxy_conf <name> <port> [BasicAuth line]
write_tinyproxy_conf() {
  cat >"$work/$1.conf" <<CONF
Port $2
Listen 127.0.0.1
Timeout 30
MaxClients 64
LogFile "$work/$1.log"
LogLevel Connect
PidFile "$work/$1.pid"
Allow 127.0.0.1
DisableViaHeader Yes
ConnectPort $nginx_port
ConnectPort $tls_port
${3:-}
CONF
  if [ "$(id -u)" -eq 0 ]; then
    printf 'User nobody\nGroup nogroup\n' >>"$work/$1.conf"
  fi
}

# write_dante_conf <name> <port> <socksmethod>
write_dante_conf() {
  cat >"$work/$1.conf" <<CONF
logoutput: $work/$1.log
internal: 127.0.0.1 port = $2
external: 127.0.0.1
clientmethod: none
socksmethod: $3
user.privileged: root
user.unprivileged: nobody
client pass {
  from: 127.0.0.0/8 to: 0.0.0.0/0
  log: connect error
}
socks pass {
  from: 127.0.0.0/8 to: 127.0.0.0/8
  command: connect
  protocol: tcp
  log: connect error
}
CONF
}

# The account dante checks the SOCKS password against; made once.
ensure_socks_account() {
  id "$socks_user" >/dev/null 2>&1 ||
    useradd --system --no-create-home --shell /usr/sbin/nologin "$socks_user" || return 1
  echo "$socks_user:$socks_password" | chpasswd
}

# spawn <log> <command...>: in the background, remembered for stop_servers.
spawn() {
  local log=$1
  shift
  "$@" >"$log" 2>&1 &
  started_pids+=("$!")
}

# wait_ports <seconds>: until every port of ours listens.
wait_ports() {
  local deadline=$((SECONDS + $1)) p missing
  while :; do
    missing=""
    for p in $all_ports; do
      ss -Hltn "sport = :$p" | grep -q . || missing+=" $p"
    done
    [ -z "$missing" ] && return 0
    if [ "$SECONDS" -ge "$deadline" ]; then
      echo "not listening:$missing"
      return 1
    fi
    sleep 0.1
  done
}

# The kernel picks outgoing ports from a range that holds ours (32768-60999
# on Linux): while the suite runs, ours are reserved, so that none of its own
# connections takes one a server is about to listen on.
readonly reserved_file=/proc/sys/net/ipv4/ip_local_reserved_ports
reserved_before=""
ports_reserved=0
reserve_ports() {
  [ -w "$reserved_file" ] || return 0
  reserved_before=$(cat "$reserved_file")
  echo "${reserved_before:+$reserved_before,}${all_ports// /,}" >"$reserved_file" && ports_reserved=1
}
release_ports() {
  [ "$ports_reserved" = 1 ] || return 0
  echo "$reserved_before" >"$reserved_file" && ports_reserved=0
}

spawn_servers() {
  spawn "$work/nginx.out" nginx -e "$work/nginx-error.log" -c "$work/nginx.conf" -p "$work"
  spawn "$work/python.log" python3 -u -m http.server "$python_port" --bind 127.0.0.1 \
    --protocol HTTP/1.0 --directory "$work/www"
  spawn "$work/proxy.out" tinyproxy -d -c "$work/proxy.conf"
  spawn "$work/proxy-auth.out" tinyproxy -d -c "$work/proxy-auth.conf"
  spawn "$work/socks.out" danted -f "$work/socks.conf" -p "$work/socks.pid"
  spawn "$work/socks-auth.out" danted -f "$work/socks-auth.conf" -p "$work/socks-auth.pid"
}

start_servers() {
  make_files
  make_certificates || return 1
  write_nginx_conf
  write_tinyproxy_conf proxy "$proxy_port"
  write_tinyproxy_conf proxy-auth "$proxy_auth_port" "BasicAuth $proxy_user $proxy_password"
  write_dante_conf socks "$socks_port" none
  write_dante_conf socks-auth "$socks_auth_port" username
  # The servers' unprivileged workers read the files and write the logs.
  (cd "$work" && touch proxy.log proxy-auth.log && chmod a+w proxy.log proxy-auth.log)
  chmod -R a+rX "$work"
  ensure_socks_account || return 1
  reserve_ports
  # A port another program's connection still holds (TIME_WAIT lasts 60 s)
  # cannot be listened on yet: all servers are started again a little later.
  local attempt
  for attempt in 1 2 3 4 5; do
    spawn_servers
    wait_ports 10 && return 0
    stop_servers
    [ "$attempt" -lt 5 ] && sleep 10
  done
  return 1
}

# stop_servers: each one we started, asked to end and, after a grace period,
# made to; then waited for, so that no port stays taken.
stop_servers() {
  local pid tries
  for pid in "${started_pids[@]}"; do
    kill -TERM "$pid" 2>/dev/null
  done
  for pid in "${started_pids[@]}"; do
    for ((tries = 0; tries < 50; tries++)); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  started_pids=()
}
