# The local S3-compatible server of the tests and of the demo: moto, from the
# machine's python3, on a free loopback port. Needs common.sh.

# start_s3_server STATE_DIR: starts the server (its log in STATE_DIR/moto.log),
# waits until it answers and sets S3_SERVER_PID and S3_SERVER_ENDPOINT
# (http://localhost:PORT, so that buckets are reached as BUCKET.localhost:PORT).
# Stop it with stop_pid "$S3_SERVER_PID".
start_s3_server() {
  local state_dir=$1 python port
  python=$(command -v python3 || true)
  [ -n "$python" ] || die "python3 is missing; the S3 server (moto) runs on it."
  python=$("$python" -c 'import sys; print(sys.executable)')
  "$python" -c 'import moto.server' 2>/dev/null \
    || die "moto is missing from $python: the local S3 server cannot start. Install moto[server] for it."
  port=$("$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  "$python" -m moto.server -H 127.0.0.1 -p "$port" >"$state_dir/moto.log" 2>&1 &
  S3_SERVER_PID=$!
  wait_for "the S3 server on port $port" 60 \
    "$python" -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/', timeout=2)" \
    || { cat "$state_dir/moto.log" >&2; die "the S3 server did not start."; }
  S3_SERVER_ENDPOINT="http://localhost:$port"
}
