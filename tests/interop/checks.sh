# The checks of the interop suite (sourced by run.sh after servers.sh). Each
# states what a sound client does; the URLs carry ?check=<name>, so that the
# servers' log lines of a check can be found.
# shellcheck shell=bash

# shellcheck source=tests/interop/servers.sh
. "$(dirname "${BASH_SOURCE[0]}")/servers.sh"
client=${client:?run.sh names the driver}

readonly web="http://127.0.0.1:$nginx_port"
readonly py="http://127.0.0.1:$python_port"
readonly tls="https://127.0.0.1:$tls_port"
readonly ca=$work/pki/ca.pem
# The timeout is only a guard against a hung run; no check measures time.
readonly guard=300

# drive <name> <driver args...>: runs the client, its report in out/<name>,
# its last body in out/<name>.body.
drive() {
  local name=$1
  shift
  timeout "$guard" "$client" --out "$work/out/$name.body" "$@" >"$work/out/$name" 2>&1
}

# outcomes <name>: "<code>:<outcome>" of each call, space-separated.
outcomes() {
  awk '$1 == "req" { printf "%s%s:%s", sep, $4, $5; sep = " " }' "$work/out/$1"
}

# curl_body <name> <curl args...>: what curl fetches, in out/<name>.curl.
curl_body() {
  local name=$1
  shift
  curl -s --max-time "$guard" -o "$work/out/$name.curl" "$@"
}

# log_field <name> <field>: that field of each nginx log line of the check:
# 1 port, 2 connection, 3 its request number, 4 request line, 5 Host,
# 6 Authorization, 7 If-Modified-Since, 8 If-None-Match, 9 Cookie, 10 Range,
# 11 Connection, 12 status, 13 Proxy-Authorization.
log_field() {
  awk -F'\t' -v tag="check=$1" -v f="$2" 'index($4, tag " ") || index($4, tag "&") { print $f }' \
    "$work/nginx-access.log"
}

connections() {
  log_field "$1" 2 | sort -u | wc -l
}

# verdict <name> <problem or empty>
verdict() {
  if [ -z "$2" ]; then ok "$1"; else fail "$1" "$2"; fi
}

# expect <name> <outcomes> [<connections>]: the calls ended as given (and used
# that many connections to nginx).
expect_problem() {
  local got conns
  got=$(outcomes "$1")
  if [ "$got" != "$2" ]; then
    echo "calls ended $got, expected $2$(grep -m1 -v '^req\|^total\|^failures' "$work/out/$1" | sed 's/^/; /')"
    return
  fi
  [ -z "${3:-}" ] && return
  conns=$(connections "$1")
  [ "$conns" -eq "$3" ] || echo "used $conns connections, expected $3"
}

same_body_problem() {
  cmp -s "$work/out/$1.body" "$work/out/$1.curl" ||
    echo "body differs from curl's ($(stat -c %s "$work/out/$1.body" 2>/dev/null || echo none) vs $(stat -c %s "$work/out/$1.curl") bytes)"
}

# body_check <name> <outcomes> <curl args> -- <driver args>: a fetch whose
# body must equal curl's.
body_check() {
  local name=$1 want=$2 curl_args=() problem
  shift 2
  while [ "$1" != "--" ]; do
    curl_args+=("$1")
    shift
  done
  shift
  curl_body "$name" "${curl_args[@]}"
  drive "$name" "$@"
  problem=$(expect_problem "$name" "$want")
  [ -z "$problem" ] && problem=$(same_body_problem "$name")
  verdict "$name" "$problem"
}

# has_line <name> <file> <fixed text>: the log holds that text.
log_problem() {
  grep -qF -- "$2" "$1" || echo "$(basename "$1") lacks: $2"
}

check_static() {
  local f
  for f in 0 1 1k 64k1 1m 10m; do
    body_check "static-$f" "200:ok" "$web/files/$f.bin" -- --get "$web/files/$f.bin?check=static-$f"
  done
  body_check static-http10 "200:ok" "$web/files/1m.bin" -- --http 1.0 --get "$web/files/1m.bin?check=static-http10"
}

check_chunked() {
  local f
  curl -s -D "$work/out/chunked.head" -o /dev/null "$web/chunked/1k.bin"
  if ! grep -qi '^transfer-encoding: chunked' "$work/out/chunked.head"; then
    fail chunked-setup "nginx did not answer chunked"
  fi
  for f in 0 1k 1m 10m; do
    body_check "chunked-$f" "200:ok" "$web/chunked/$f.bin" -- --get "$web/chunked/$f.bin?check=chunked-$f"
  done
  # An HTTP/1.0 request gets no chunks: the body ends where the server closes.
  body_check chunked-http10 "200:ok" "$web/chunked/1m.bin" -- --http 1.0 --get "$web/chunked/1m.bin?check=chunked-http10"
  drive chunked-http10-then "--http" 1.0 --get "$web/chunked/1k.bin?check=chunked-http10-then" \
    --get "$web/files/1k.bin?check=chunked-http10-then"
  verdict chunked-http10-then-new-connection "$(expect_problem chunked-http10-then "200:ok 200:ok" 2)"
}

check_keepalive() {
  local n=keepalive problem
  drive "$n" --get "$web/files/0.bin?check=$n" --get "$web/chunked/1m.bin?check=$n" \
    --get "$web/files/64k1.bin?check=$n" --get "$web/files/1k.bin?check=$n"
  problem=$(expect_problem "$n" "200:ok 200:ok 200:ok 200:ok" 1)
  [ -z "$problem" ] && [ "$(log_field "$n" 3 | paste -sd' ' -)" != "1 2 3 4" ] &&
    problem="requests numbered $(log_field "$n" 3 | paste -sd' ' -) on their connection"
  verdict keepalive-one-connection "$problem"

  n="keepalive-http10"
  drive "$n" --http 1.0 --get "$web/files/1k.bin?check=$n" --get "$web/chunked/1k.bin?check=$n" \
    --get "$web/files/1k.bin?check=$n"
  problem=$(expect_problem "$n" "200:ok 200:ok 200:ok" 2)
  [ -z "$problem" ] && [ "$(log_field "$n" 4 | grep -c ' HTTP/1.0$')" -ne 3 ] && problem="request lines not HTTP/1.0"
  [ -z "$problem" ] && [ "$(log_field "$n" 11 | head -n1)" != "keep-alive" ] && problem="no Connection: keep-alive sent"
  verdict keepalive-http10 "$problem"

  # nginx closes a connection idle for 1 s: the next call opens a new one.
  n="keepalive-idle-close"
  drive "$n" --pause-ms 1500 --get "$web/idle/1k.bin?check=$n" --get "$web/idle/1k.bin?check=$n" \
    --get "$web/idle/1k.bin?check=$n"
  verdict "$n" "$(expect_problem "$n" "200:ok 200:ok 200:ok" 3)"

  n="error-keeps-connection"
  drive "$n" --get "$web/nothing-here?check=$n" --get "$web/files/1k.bin?check=$n"
  verdict "$n" "$(expect_problem "$n" "404:EIdHTTPProtocolException 200:ok" 1)"

  # Refused before anything is sent (no TLS handler): the kept connection
  # is still in step and carries the next call.
  n="refused-call-keeps-connection"
  drive "$n" --get "$web/files/1k.bin?check=$n" --get "https://127.0.0.1:$nginx_port/files/1k.bin?check=$n" \
    --get "$web/files/1k.bin?check=$n"
  verdict "$n" "$(expect_problem "$n" "200:ok -1:EIdIOHandlerPropInvalid 200:ok" 1)"

  n="head-then-get"
  curl_body "$n" "$web/files/1k.bin"
  drive "$n" --head "$web/files/1m.bin?check=$n" --get "$web/files/1k.bin?check=$n"
  problem=$(expect_problem "$n" "200:ok 200:ok" 1)
  [ -z "$problem" ] && problem=$(same_body_problem "$n")
  verdict "$n" "$problem"
}

check_not_modified() {
  local n=not-modified-etag etag problem
  etag=$(curl -s -D - -o /dev/null "$web/files/1k.bin" | tr -d '\r' | awk -F': ' 'tolower($1) == "etag" { print $2 }')
  drive "$n" --get "$web/files/1k.bin?check=$n" --if-none-match "$etag" --get "$web/files/1k.bin?check=$n" \
    --if-none-match "" --get "$web/files/1k.bin?check=$n"
  problem=$(expect_problem "$n" "200:ok 304:EIdHTTPProtocolException 200:ok" 1)
  verdict "$n" "$problem"

  # The files are dated Thu, 05 Mar 2020 10:00:00 GMT; nginx answers 304 only
  # to that date in the form RFC 9110 section 5.6.7 gives.
  local tz
  for tz in UTC CET-1; do
    n=not-modified-date-$tz
    TZ=$tz drive "$n" --if-modified-since 'Thu, 05 Mar 2020 10:00:00 GMT' --get "$web/files/1k.bin?check=$n"
    problem=$(log_field "$n" 7 | grep -vxF 'Thu, 05 Mar 2020 10:00:00 GMT' | sed 's/^/If-Modified-Since sent as: /')
    [ -z "$problem" ] && problem=$(expect_problem "$n" "304:EIdHTTPProtocolException")
    verdict "$n" "$problem"
  done
}

check_range_cookie() {
  local n=range problem
  body_check "$n" "206:ok" -r 100-1123 "$web/files/64k1.bin" -- --range 100-1123 --get "$web/files/64k1.bin?check=$n"
  n="range-header"
  problem=$(log_field range 10 | grep -vxF 'bytes=100-1123' | sed 's/^/Range sent as: /')
  verdict "$n" "$problem"

  n="post"
  drive "$n" --data "a=1&b=2" --post "$web/cookie/check?check=$n" --data "" --get "$web/files/1k.bin?check=$n"
  problem=$(expect_problem "$n" "200:ok 200:ok" 1)
  [ -z "$problem" ] && [ "$(log_field "$n" 4 | head -n1)" != "POST /cookie/check?check=$n HTTP/1.1" ] &&
    problem="sent $(log_field "$n" 4 | head -n1)"
  verdict "$n" "$problem"

  n="cookie"
  drive "$n" --get "$web/cookie/set?check=$n" --get "$web/cookie/check?check=$n"
  problem=$(expect_problem "$n" "200:ok 200:ok" 1)
  [ -z "$problem" ] && [ "$(log_field "$n" 9 | tail -n1)" != "interop=yes" ] &&
    problem="second request sent Cookie: $(log_field "$n" 9 | tail -n1)"
  verdict "$n" "$problem"

  # A Cookie line past 2 KiB goes out whole: nginx (1.21.1 and later)
  # answers a folded header line with 400.
  n="cookie-2k"
  drive "$n" --get "$web/cookie/big?check=$n" --get "$web/cookie/check?check=$n"
  problem=$(expect_problem "$n" "200:ok 200:ok" 1)
  [ -z "$problem" ] && [ "$(log_field "$n" 9 | tail -n1 | wc -c)" -le 2048 ] &&
    problem="second request sent a Cookie line of $(log_field "$n" 9 | tail -n1 | wc -c) bytes"
  verdict "$n" "$problem"
}

# Set-Cookie lines of nginx under host names (the client goes through nginx
# as its proxy, so the names need no resolver), then the Cookie line each
# later request carries: host-only cookies stay on their host, Domain with
# or without a dot and in any case reaches the domain, a public suffix is
# refused, paths match at a boundary and default to the directory, a cookie
# is its name (letter case counts) and path, Max-Age wins, a bad date keeps.
check_cookie_rules() {
  local n=cookie-rules problem got want i
  local at="127.0.0.1:$nginx_port" port=$nginx_port
  local slash="baddate=1; huge=1; keep=1; sid=lower; SID=upper; n=root; hostonly=1; dotted=1; wide=1"
  drive "$n" --proxy "$at" --get "http://www.shop.test:$port/cookie/rules/set?check=$n" \
    --get "http://www.shop.test:$port/cookie/rules/foo/x?check=$n" \
    --get "http://www.shop.test:$port/cookie/rules/foobar?check=$n" \
    --get "http://www.shop.test:$port/cookie/rules/admin/x?check=$n" \
    --get "http://a.www.shop.test:$port/cookie/rules/admin/x?check=$n" \
    --get "http://SHOP.TEST:$port/cookie/rules/x?check=$n" \
    --get "http://other.test:$port/cookie/rules/x?check=$n"
  problem=$(expect_problem "$n" "200:ok 200:ok 200:ok 200:ok 200:ok 200:ok 200:ok")
  want=("-" "p=1; dir=1; $slash" "dir=1; $slash" "n=admin; dir=1; $slash" "dotted=1; wide=1"
    "dotted=1; wide=1" "-")
  i=0
  while [ -z "$problem" ] && IFS= read -r got; do
    [ "$got" = "${want[$i]}" ] || problem="request $((i + 1)) sent Cookie: $got, expected ${want[$i]}"
    i=$((i + 1))
  done < <(log_field "$n" 9)
  [ -z "$problem" ] && [ "$i" -ne 7 ] && problem="nginx logged $i requests, expected 7"
  verdict "$n" "$problem"
}

# redirect_check <name> <path> <the request lines nginx should see...>
redirect_check() {
  local n=$1 path=$2 problem got
  shift 2
  curl_body "$n" "$web/files/1k.bin"
  drive "$n" --redirects 5 --get "$web$path?check=$n"
  problem=$(expect_problem "$n" "200:ok" 1)
  [ -z "$problem" ] && problem=$(same_body_problem "$n")
  got=$(log_field "$n" 4 | sed "s/?check=$n / /" | paste -sd, -)
  local want
  want=$(printf '%s\n' "$@" | paste -sd, -)
  [ -z "$problem" ] && [ "$got" != "$want" ] && problem="sent $got, expected $want"
  verdict "$n" "$problem"
}

check_redirects() {
  local code
  for code in 301 302 307; do
    redirect_check "redirect-$code" "/r/$code" "GET /r/$code HTTP/1.1" "GET /files/1k.bin HTTP/1.1"
  done
  redirect_check redirect-303 /r/303 "GET /r/303 HTTP/1.1" "GET /files/1k.bin HTTP/1.1"
  redirect_check redirect-relative-path /r/deep/rel "GET /r/deep/rel HTTP/1.1" "GET /files/1k.bin HTTP/1.1"
  redirect_check redirect-chain /r/chain "GET /r/chain HTTP/1.1" "GET /r/301 HTTP/1.1" \
    "GET /files/1k.bin HTTP/1.1"

  local n=redirect-not-followed
  drive "$n" --get "$web/r/302?check=$n"
  verdict "$n" "$(expect_problem "$n" "302:EIdHTTPProtocolException")"

  # Each call may take its own redirects, whatever the call before it did.
  n="redirect-count-per-call"
  drive "$n" --redirects 2 --get "$web/nothing-here?check=$n" --get "$web/r/302?check=$n" \
    --get "$web/r/302?check=$n"
  verdict "$n" "$(expect_problem "$n" "404:EIdHTTPProtocolException 200:ok 200:ok")"
}

check_auth() {
  local n=auth-missing problem want
  drive "$n" --get "$web/auth/1k.bin?check=$n"
  problem=$(expect_problem "$n" "401:EIdHTTPProtocolException")
  [ -z "$problem" ] && [ "$(log_field "$n" 6)" != "-" ] && problem="Authorization sent without credentials"
  verdict "$n" "$problem"

  n="auth-wrong"
  drive "$n" --user "$web_user" --password wrong --get "$web/auth/1k.bin?check=$n"
  verdict "$n" "$(expect_problem "$n" "401:EIdHTTPProtocolException")"

  want="Basic $(printf '%s:%s' "$web_user" "$web_password" | base64)"
  n="auth-basic"
  body_check "$n" "200:ok" -u "$web_user:$web_password" "$web/auth/1k.bin" -- \
    --user "$web_user" --password "$web_password" --get "$web/auth/1k.bin?check=$n"
  verdict auth-basic-header "$(log_field "$n" 6 | grep -vxF "$want" | sed 's/^/Authorization sent as: /')"

  n="auth-redirect-same-origin"
  drive "$n" --redirects 5 --user "$web_user" --password "$web_password" --get "$web/auth/here?check=$n"
  problem=$(expect_problem "$n" "200:ok")
  [ -z "$problem" ] && [ "$(log_field "$n" 6 | grep -cxF "$want")" -ne 2 ] &&
    problem="Authorization missing after the redirect"
  verdict "$n" "$problem"

  # Credentials belong to the scheme, host and port they were given for.
  n="auth-redirect-other-origin"
  drive "$n" --redirects 5 --user "$web_user" --password "$web_password" --get "$web/auth/away?check=$n"
  problem=$(expect_problem "$n" "200:ok")
  [ -z "$problem" ] && problem=$(paste <(log_field "$n" 1) <(log_field "$n" 6) |
    awk -v p="$nginx_other_port" '$1 == p && $2 != "-" { print "Authorization sent to port " p ": " $2 " " $3 }')
  verdict "$n" "$problem"
}

check_python() {
  local f
  for f in 0 1k 10m; do
    body_check "http10-server-$f" "200:ok" "$py/files/$f.bin" -- --get "$py/files/$f.bin?check=http10-server-$f"
  done
  # An HTTP/1.0 answer without "Connection: keep-alive" ends the connection.
  local n="http10-server-head-then-get"
  drive "$n" --head "$py/files/1m.bin?check=$n" --get "$py/files/1k.bin?check=$n"
  verdict "$n" "$(expect_problem "$n" "200:ok 200:ok")"
  loop_check http10-server-500 "$py/files/1k.bin" "$work/python.log" '"GET /files/1k.bin?check=http10-server-500 HTTP/1.1" 200'
}

# loop_check <name> <url> <log> <fixed text of each request's log line> [driver args]
loop_check() {
  local n=$1 url=$2 log=$3 line=$4 problem total seen
  shift 4
  drive "$n" --quiet --count 500 --expect "$work/www/files/1k.bin" --get "$url?check=$n" "$@"
  total=$(grep '^total:' "$work/out/$n")
  problem=""
  [ "$total" = "total: 500 ok, 0 failed" ] ||
    problem="${total:-no total}; $(grep '^failures:' "$work/out/$n" | paste -sd' ' -)"
  seen=$(grep -cF -- "$line" "$log")
  [ -z "$problem" ] && [ "$seen" -ne 500 ] && problem="$seen requests in $(basename "$log"), expected 500"
  verdict "$n" "$problem"
}

check_proxy() {
  local f n problem auth=(--proxy-user "$proxy_user" --proxy-password "$proxy_password")
  for f in 1k 10m; do
    body_check "proxy-$f" "200:ok" -x "127.0.0.1:$proxy_port" "$web/files/$f.bin" -- \
      --proxy "127.0.0.1:$proxy_port" --get "$web/files/$f.bin?check=proxy-$f"
  done
  verdict proxy-absolute-uri "$(log_problem "$work/proxy.log" "GET $web/files/1k.bin?check=proxy-1k HTTP/1.1")"

  n="proxy-407"
  drive "$n" --proxy "127.0.0.1:$proxy_auth_port" --get "$web/files/1k.bin?check=$n"
  verdict "$n" "$(expect_problem "$n" "407:EIdHTTPProtocolException")"

  body_check proxy-auth "200:ok" -x "127.0.0.1:$proxy_auth_port" -U "$proxy_user:$proxy_password" \
    "$web/files/1k.bin" -- --proxy "127.0.0.1:$proxy_auth_port" "${auth[@]}" --get "$web/files/1k.bin?check=proxy-auth"

  # CONNECT: https URLs go through a tunnel, TLS inside it, the certificate
  # checked against the target's name (not the proxy's).
  body_check proxy-connect "200:ok" --cacert "$ca" "$tls/files/1m.bin" -- --ca-file "$ca" \
    --proxy "127.0.0.1:$proxy_port" --get "https://localhost:$tls_port/files/1m.bin?check=proxy-connect"
  problem=$(log_problem "$work/proxy.log" "CONNECT localhost:$tls_port HTTP/1.1")
  [ -z "$problem" ] && problem=$(log_field proxy-connect 4 | grep -vxF "GET /files/1m.bin?check=proxy-connect HTTP/1.1")
  verdict proxy-connect-request "$problem"
  body_check proxy-connect-auth "200:ok" --cacert "$ca" "$tls/files/1k.bin" -- --ca-file "$ca" \
    --proxy "127.0.0.1:$proxy_auth_port" "${auth[@]}" --get "$tls/files/1k.bin?check=proxy-connect-auth"

  # A POST down the tunnel: the CONNECT carries the proxy's credentials and
  # no content fields; the origin sees the POST and no proxy credentials.
  n="proxy-connect-post"
  drive "$n" --ca-file "$ca" --proxy "127.0.0.1:$proxy_auth_port" "${auth[@]}" --sent "$work/out/$n.sent" \
    --data "a=1&b=2" --post "$tls/cookie/check?check=$n"
  problem=$(expect_problem "$n" "200:ok")
  local connect_head
  connect_head=$(tr -d '\r' <"$work/out/$n.sent" | awk '/^CONNECT /{on=1} on && $0 == "" {exit} on')
  [ -z "$problem" ] && ! grep -q '^Proxy-Authorization: Basic ' <<<"$connect_head" &&
    problem="the CONNECT carried no Proxy-Authorization: $connect_head"
  [ -z "$problem" ] && grep -qi '^Content-' <<<"$connect_head" &&
    problem="the CONNECT carried $(grep -i '^Content-' <<<"$connect_head" | paste -sd' ' -)"
  [ -z "$problem" ] && [ "$(log_field "$n" 4)" != "POST /cookie/check?check=$n HTTP/1.1" ] &&
    problem="nginx saw $(log_field "$n" 4)"
  [ -z "$problem" ] && [ "$(log_field "$n" 13)" != "-" ] &&
    problem="nginx saw Proxy-Authorization: $(log_field "$n" 13)"
  verdict "$n" "$problem"
  verdict proxy-connect-auth-origin "$(log_field proxy-connect-auth 13 | grep -vxF -- '-' | sed 's/^/nginx saw Proxy-Authorization: /')"
  # The tunnel is kept: the second request goes through it, on the same TLS
  # connection to nginx.
  n="proxy-connect-twice"
  drive "$n" --ca-file "$ca" --proxy "127.0.0.1:$proxy_port" --get "$tls/files/1k.bin?check=$n" \
    --get "$tls/files/1k.bin?check=$n"
  problem=$(expect_problem "$n" "200:ok 200:ok" 1)
  [ -z "$problem" ] && [ "$(grep -c "^$tls_port.*CONNECT" "$work/nginx-access.log")" -ne 0 ] &&
    problem="a CONNECT was sent through the open tunnel to nginx"
  verdict "$n" "$problem"
  n="proxy-connect-untrusted"
  drive "$n" --tls --proxy "127.0.0.1:$proxy_port" --get "$tls/files/1k.bin?check=$n"
  verdict "$n" "$(refusal_problem "$n" "127.0.0.1: certificate not trusted")"

  loop_check proxy-500 "$web/files/1k.bin" "$work/proxy.log" "GET $web/files/1k.bin?check=proxy-500 HTTP/1.1" \
    --proxy "127.0.0.1:$proxy_port"
}

check_socks() {
  local s="127.0.0.1:$socks_port" sa="127.0.0.1:$socks_auth_port" n
  body_check socks5 "200:ok" --socks5 "$s" "$web/files/1m.bin" -- \
    --socks "$s" --socks-version 5 --get "$web/files/1m.bin?check=socks5"
  body_check socks4 "200:ok" --socks4 "$s" "$web/files/1m.bin" -- \
    --socks "$s" --socks-version 4 --get "$web/files/1m.bin?check=socks4"
  body_check socks5-user "200:ok" --socks5 "$sa" --proxy-user "$socks_user:$socks_password" "$web/files/1m.bin" -- \
    --socks "$sa" --socks-version 5 --socks-user "$socks_user" --socks-password "$socks_password" \
    --get "$web/files/1m.bin?check=socks5-user"
  verdict socks5-user-log "$(log_problem "$work/socks-auth.log" "username%$socks_user@127.0.0.1")"

  body_check socks5-tls "200:ok" --cacert "$ca" --socks5 "$s" "$tls/files/1m.bin" -- --ca-file "$ca" \
    --socks "$s" --socks-version 5 --get "$tls/files/1m.bin?check=socks5-tls"
  body_check socks4-tls "200:ok" --cacert "$ca" --socks4 "$s" "$tls/files/1k.bin" -- --ca-file "$ca" \
    --socks "$s" --socks-version 4 --get "$tls/files/1k.bin?check=socks4-tls"

  n="socks5-wrong-password"
  drive "$n" --socks "$sa" --socks-version 5 --socks-user "$socks_user" --socks-password wrong \
    --get "$web/files/1k.bin?check=$n"
  verdict "$n" "$(expect_problem "$n" "-1:EIdSocksAuthError")"
  n="socks5-no-user-refused"
  drive "$n" --socks "$sa" --socks-version 5 --get "$web/files/1k.bin?check=$n"
  verdict "$n" "$(expect_problem "$n" "-1:EIdSocksAuthMethodError")"
}

# refusal_problem <name> <message>: the one call was refused with that TLS
# error, and nginx saw no request of the check.
refusal_problem() {
  local got
  got=$(sed -n 's/^req 1 [A-Z]* 0 EIdSSLProtocolReplyError [0-9]* [0-9]* | //p' "$work/out/$1")
  if [ "$got" != "$2" ]; then
    echo "got: $(grep -m1 '^req' "$work/out/$1"), expected the message: $2"
  elif [ "$(log_field "$1" 4 | wc -l)" -ne 0 ]; then
    echo "nginx logged a request: $(log_field "$1" 4 | head -n1)"
  fi
}

check_tls() {
  local f n problem
  for f in 0 1 1k 64k1 1m 10m; do
    body_check "tls-$f" "200:ok" --cacert "$ca" "$tls/files/$f.bin" -- --ca-file "$ca" \
      --get "$tls/files/$f.bin?check=tls-$f"
  done
  body_check tls-chunked-1m "200:ok" --cacert "$ca" "$tls/files/1m.bin" -- --ca-file "$ca" \
    --get "https://localhost:$tls_port/files/1m.bin?check=tls-chunked-1m"
  body_check tls13-only "200:ok" --cacert "$ca" "https://127.0.0.1:$tls13_port/files/1k.bin" -- \
    --ca-file "$ca" --get "https://127.0.0.1:$tls13_port/files/1k.bin?check=tls13-only"
  # The roots OpenSSL programs read by default (SSL_CERT_FILE) are ours too.
  n="tls-ssl-cert-file"
  SSL_CERT_FILE=$ca drive "$n" --tls --get "$tls/files/1k.bin?check=$n"
  verdict "$n" "$(expect_problem "$n" "200:ok")"

  n="tls-keepalive"
  drive "$n" --ca-file "$ca" --get "$tls/files/0.bin?check=$n" --get "$tls/files/1m.bin?check=$n" \
    --get "$tls/files/64k1.bin?check=$n" --get "$tls/files/1k.bin?check=$n"
  problem=$(expect_problem "$n" "200:ok 200:ok 200:ok 200:ok" 1)
  [ -z "$problem" ] && [ "$(log_field "$n" 3 | paste -sd' ' -)" != "1 2 3 4" ] &&
    problem="requests numbered $(log_field "$n" 3 | paste -sd' ' -) on their connection"
  verdict "$n" "$problem"

  # http to https and back, each on its own connection; the credentials
  # stay with the origin they were given for.
  n="redirect-to-https"
  drive "$n" --ca-file "$ca" --redirects 5 --user "$web_user" --password "$web_password" \
    --get "$web/r/to-https?check=$n" --get "$tls/r/to-http?check=$n"
  problem=$(expect_problem "$n" "200:ok 200:ok" 3)
  [ -z "$problem" ] && [ "$(log_field "$n" 1 | paste -sd' ' -)" != "$nginx_port $tls_port $tls_port $nginx_port" ] &&
    problem="went to ports $(log_field "$n" 1 | paste -sd' ' -)"
  # The second and the fourth request are the redirected ones.
  [ -z "$problem" ] && problem=$(paste <(log_field "$n" 1) <(log_field "$n" 6) | sed -n '2p;4p' |
    awk '$2 != "-" { print "Authorization sent to port " $1 " after a redirect" }' | head -n1)
  verdict "$n" "$problem"

  loop_check tls-500 "$tls/files/1k.bin" "$work/nginx-access.log" \
    "GET /files/1k.bin?check=tls-500 HTTP/1.1" --ca-file "$ca"

  # Refused before a byte of the request: nginx logs nothing of it.
  local -a certificates ports
  read -ra certificates <<<"$tls_bad_certificates"
  read -ra ports <<<"$tls_bad_ports"
  local -A says=([expired]="127.0.0.1: certificate expired"
    [not-yet-valid]="127.0.0.1: certificate not yet valid"
    [other-name]="certificate is for other.example, not 127.0.0.1"
    [self-signed]="127.0.0.1: certificate not trusted"
    [unknown-ca]="127.0.0.1: certificate not trusted")
  local i
  for i in "${!ports[@]}"; do
    n="tls-refused-${certificates[$i]}"
    drive "$n" --ca-file "$ca" --get "https://127.0.0.1:${ports[$i]}/files/1k.bin?check=$n"
    verdict "$n" "$(refusal_problem "$n" "${says[${certificates[$i]}]}")"
  done
  n="tls-refused-no-ca"
  drive "$n" --tls --get "$tls/files/1k.bin?check=$n"
  verdict "$n" "$(refusal_problem "$n" "127.0.0.1: certificate not trusted")"
  n="tls-unchecked"
  drive "$n" --no-verify --get "https://127.0.0.1:${ports[0]}/files/1k.bin?check=$n"
  verdict "$n" "$(expect_problem "$n" "200:ok")"

  # The old server does speak TLS 1.1 (curl, allowed to), and is refused.
  n="tls-old-server"
  if curl -s -o /dev/null --cacert "$ca" --tlsv1.1 --tls-max 1.1 --ciphers 'DEFAULT@SECLEVEL=0' \
    "https://127.0.0.1:$tls_old_port/files/1k.bin?check=curl-tls11"; then
    drive "$n" --ca-file "$ca" --get "https://127.0.0.1:$tls_old_port/files/1k.bin?check=$n"
    problem=$(grep -m1 '^req 1 GET 0 EIdSSLProtocolReplyError .* | 127.0.0.1: ' "$work/out/$n" >/dev/null ||
      echo "got: $(grep -m1 '^req' "$work/out/$n")")
    [ -z "$problem" ] && [ "$(log_field "$n" 4 | wc -l)" -ne 0 ] && problem="nginx logged a request"
  else
    problem="curl could not reach the server with TLS 1.1"
  fi
  verdict "$n" "$problem"
}

run_checks() {
  check_tls
  check_static
  check_chunked
  check_keepalive
  check_not_modified
  check_range_cookie
  check_cookie_rules
  check_redirects
  check_auth
  check_python
  check_proxy
  check_socks
}
