# shellcheck shell=bash
# Sourced: a throwaway test CA and the server certificates the TLS tests
# need, made with openssl in the folder given, never kept.
#   tls_make_certs <folder>
# leaves there: ca.pem (the test CA), server.key (every server's key) and
# good.pem (localhost and 127.0.0.1), expired.pem, notyet.pem, other.pem
# (other.example), self.pem (self-signed), unknown.pem (from a CA nobody
# trusts).

tls_cert_date() { date -u -d "$1" +%Y%m%d%H%M%SZ; }

# tls_sign <folder> <ca name> <out name> <subject alt names> <start> <end>
tls_sign() {
  local dir=$1 ca=$2 out=$3 names=$4 start=$5 end=$6
  rm -rf "$dir/db" && mkdir -p "$dir/db" && : >"$dir/db/index.txt"
  openssl rand -hex 8 >"$dir/db/serial"
  cat >"$dir/db/ca.cnf" <<EOF
[ca]
default_ca = test
[test]
database = $dir/db/index.txt
new_certs_dir = $dir/db
serial = $dir/db/serial
default_md = sha256
policy = any
unique_subject = no
x509_extensions = server
[any]
commonName = supplied
[server]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = $names
EOF
  openssl ca -batch -notext -config "$dir/db/ca.cnf" -cert "$dir/$ca.pem" -keyfile "$dir/$ca.key" \
    -in "$dir/server.csr" -out "$dir/$out.pem" -startdate "$(tls_cert_date "$start")" \
    -enddate "$(tls_cert_date "$end")" >/dev/null 2>&1
}

tls_make_certs() {
  local dir=$1 ca
  for ca in ca stranger; do
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$dir/$ca.key" -out "$dir/$ca.pem" \
      -subj "/CN=Vantro test $ca" -days 2 \
      -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
      >/dev/null 2>&1 || return 1
  done
  openssl req -newkey rsa:2048 -nodes -keyout "$dir/server.key" -out "$dir/server.csr" \
    -subj /CN=localhost >/dev/null 2>&1 || return 1
  local here='DNS:localhost,IP:127.0.0.1'
  tls_sign "$dir" ca good "$here" '-1 hour' '+1 day' &&
    tls_sign "$dir" ca expired "$here" '-3 days' '-1 day' &&
    tls_sign "$dir" ca notyet "$here" '+1 day' '+3 days' &&
    tls_sign "$dir" ca other 'DNS:other.example' '-1 hour' '+1 day' &&
    tls_sign "$dir" stranger unknown "$here" '-1 hour' '+1 day' || return 1
  openssl req -x509 -key "$dir/server.key" -out "$dir/self.pem" -subj /CN=localhost -days 2 \
    -addext "subjectAltName=$here" >/dev/null 2>&1
}
