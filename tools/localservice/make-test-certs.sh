#!/usr/bin/env bash
# Makes the test certificate authority and the TLS front's certificates, once,
# outside the clone (keys are never committed):
#
#   tools/localservice/make-test-certs.sh        # prints the folder
#
# In ${QUARN_TLS_DIR:-/var/cache/quarn-tls/<hash of this script>}:
#   ca.pem, ca.der          the test authority (trusted only in the test Wine prefix)
#   server.pem/.key         127.0.0.1 and localhost, signed by it
#   expired.pem/.key        the same names, signed by it, expired long ago
#   wronghost.pem/.key      signed by it for another host name only
#   unknown.pem/.key        the same names, signed by an authority nobody trusts
# A folder with a .complete stamp is reused as it is.
set -euo pipefail

dir=${QUARN_TLS_DIR:-/var/cache/quarn-tls/$(sha256sum < "${BASH_SOURCE[0]}" | cut -c1-12)}
if [ -f "$dir/.complete" ]; then
    echo "$dir"
    exit 0
fi
mkdir -p "$dir"
work=$(mktemp -d "$dir/.work.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

authority() {  # NAME SUBJECT
    openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -sha256 -keyout "$1.key" -out "$1.pem" \
        -subj "/CN=$2" -addext "basicConstraints=critical,CA:TRUE" \
        -addext "keyUsage=critical,keyCertSign,cRLSign" 2> /dev/null
}

# signed NAME AUTHORITY SUBJECT-ALT-NAMES START END (YYMMDDHHMMSSZ)
signed() {
    openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=${1}" 2> /dev/null
    mkdir -p "db-$1"
    : > "db-$1/index.txt"
    cat > "$1.cnf" <<EOF
[ca]
default_ca = test
[test]
database = db-$1/index.txt
new_certs_dir = db-$1
serial = db-$1/serial
default_md = sha256
policy = any
copy_extensions = none
x509_extensions = leaf
unique_subject = no
[any]
commonName = supplied
[leaf]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature,keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = $3
EOF
    openssl rand -hex 16 > "db-$1/serial"
    openssl ca -batch -config "$1.cnf" -cert "$2.pem" -keyfile "$2.key" -in "$1.csr" -out "$1.pem" \
        -startdate "$4" -enddate "$5" -notext 2> /dev/null
}

# The address also as a DNS name: Schannel's host check through libcurl and
# Wine's WinINet compare DNS names only.
names="DNS:localhost,DNS:127.0.0.1,IP:127.0.0.1"
now=$(date -u -d '-1 day' +%y%m%d%H%M%SZ)
later=$(date -u -d '+800 days' +%y%m%d%H%M%SZ)
authority ca "Quarn Test Authority"
authority stranger "Quarn Stranger Authority"
signed server ca "$names" "$now" "$later"
signed expired ca "$names" 200101000000Z 210101000000Z
signed wronghost ca "DNS:elsewhere.quarn.test" "$now" "$later"
signed unknown stranger "$names" "$now" "$later"
openssl x509 -in ca.pem -outform DER -out ca.der

cp ca.pem ca.der server.pem server.key expired.pem expired.key wronghost.pem wronghost.key \
    unknown.pem unknown.key "$dir/"
chmod 600 "$dir"/*.key
touch "$dir/.complete"
echo "$dir"
