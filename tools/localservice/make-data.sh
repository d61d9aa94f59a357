#!/usr/bin/env bash
# Renders the local service's sample pictures into ${QUARN_SERVICE_DATA:-/var/cache/quarn-service-data}
# (reused when already complete). Options: --data DIR, --jobs N, --tiny, --force.
set -euo pipefail
exec python3 "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/makedata.py" "$@"
