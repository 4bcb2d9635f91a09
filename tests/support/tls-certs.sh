# shellcheck shell=bash
# Sourced by the TLS tests: throwaway CAs and certificates made with openssl
# for one run, never kept.
#   make_test_certificates <folder>
# leaves there ca.pem (the root a client is given) and, each with its key
# (name.key), good.pem (for localhost and 127.0.0.1), expired.pem,
# not-yet-valid.pem, other-name.pem (for other.example), self-signed.pem and
# unknown-ca.pem (from other-ca.pem, a CA no client trusts).
make_test_certificates() {
  local pki=$1
  mkdir -p "$pki/db"
  : >"$pki/db/index"
  echo 01 >"$pki/db/serial"
  day() { date -u -d "$1 days" +%Y%m%d%H%M%SZ; }
  cat >"$pki/ca.cnf" <<CONF
[ca]
default_ca = test
[test]
database = $pki/db/index
serial = $pki/db/serial
new_certs_dir = $pki/db
default_md = sha256
policy = any
unique_subject = no
[any]
commonName = supplied
[leaf]
basicConstraints = CA:FALSE
keyUsage = digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = \$ENV::SAN
CONF
  local key=(-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes)
  local root=(-addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign")
  openssl req -x509 "${key[@]}" -keyout "$pki/ca.key" -out "$pki/ca.pem" -days 30 \
    -subj "/CN=Vantro test CA" "${root[@]}" 2>/dev/null || return 1
  openssl req -x509 "${key[@]}" -keyout "$pki/other-ca.key" -out "$pki/other-ca.pem" -days 30 \
    -subj "/CN=Vantro unknown CA" "${root[@]}" 2>/dev/null || return 1
  # issue <name> <subjectAltName> <from day> <to day> [<CA name>]
  issue() {
    local issuer=${5:-ca}
    openssl req -new "${key[@]}" -keyout "$pki/$1.key" -out "$pki/$1.csr" -subj "/CN=$1" 2>/dev/null &&
      SAN=$2 openssl ca -batch -notext -config "$pki/ca.cnf" -extensions leaf -cert "$pki/$issuer.pem" \
        -keyfile "$pki/$issuer.key" -startdate "$(day "$3")" -enddate "$(day "$4")" \
        -in "$pki/$1.csr" -out "$pki/$1.pem" 2>/dev/null
  }
  local here="DNS:localhost,IP:127.0.0.1"
  issue good "$here" -1 30 && issue expired "$here" -30 -1 && issue not-yet-valid "$here" 1 30 &&
    issue other-name "DNS:other.example" -1 30 && issue unknown-ca "$here" -1 30 other-ca || return 1
  openssl req -x509 "${key[@]}" -keyout "$pki/self-signed.key" -out "$pki/self-signed.pem" -days 30 \
    -subj "/CN=localhost" -addext "subjectAltName=$here" 2>/dev/null
}
