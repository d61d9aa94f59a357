#!/usr/bin/env bash
# Trusts the test certificate authority in the Wine prefix of $WINEPREFIX
# (and nowhere else), making it first if needed:
#
#   tools/localservice/trust-test-authority.sh PATH/quarn_trust_ca.exe
#
# The program is built in the Windows trees (tools/tlstrust). Safe to repeat.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
program=${1:?usage: $0 quarn_trust_ca.exe}
certs=$(bash "$here/make-test-certs.sh")
# Wine sees the machine's root as drive Z:.
authority="Z:${certs//\//\\}\\ca.der"
if bash "$here/../wine-run.sh" "$program" check "$authority"; then
    echo "the test authority is trusted already"
    exit 0
fi
bash "$here/../wine-run.sh" "$program" add "$authority"
