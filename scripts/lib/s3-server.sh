# The local S3-compatible server of the tests and of the demo: moto, on a free
# loopback port. Needs common.sh.
#
# Debian has no package of moto. A python3 on PATH that has it is used as it is;
# otherwise moto goes into a private virtual environment of the scripts' own (made
# once with Debian's python3-venv, then reused), at the version the suite was last
# seen to pass against, with every package it pulls in held to moto-server.constraints.

TARN_MOTO_VERSION=5.2.1
TARN_MOTO_REQUIREMENT="moto[server]==$TARN_MOTO_VERSION"
TARN_MOTO_CONSTRAINTS="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/moto-server.constraints"

# Whether the interpreter can start the server. A half-installed environment fails
# here: moto.server imports the web framework, which pip installs before moto.
python_has_moto() {
  "$1" -c 'import moto.server' >/dev/null 2>&1
}

# A private environment is good when moto starts and is the pinned version; one that
# holds the mark of an unfinished set-up is never good, whatever it can import.
server_venv_is_ready() {
  local venv=$1
  [ ! -e "$venv/.tarn-unfinished" ] || return 1
  "$venv/bin/python" -c "import importlib.metadata as m, moto.server, sys; sys.exit(m.version('moto') != '$TARN_MOTO_VERSION')" \
    >/dev/null 2>&1
}

# resolve_server_python VENV: sets S3_SERVER_PYTHON to the first python3 on PATH that
# has moto, else to the private environment at VENV, making it first when it is not
# ready. Without a way to make it, stops the script with what failed and the command
# to run by hand, and leaves nothing at VENV.
resolve_server_python() {
  local venv=$1 dir candidate
  local -a path_dirs
  IFS=: read -r -a path_dirs <<<"$PATH"
  for dir in "${path_dirs[@]}"; do
    candidate="${dir:-.}/python3"
    [ -x "$candidate" ] && [ ! -d "$candidate" ] || continue
    if python_has_moto "$candidate"; then
      S3_SERVER_PYTHON=$("$candidate" -c 'import sys; print(sys.executable)')
      return 0
    fi
  done

  local parent lock
  parent=$(dirname "$venv")
  mkdir -p "$parent"
  # Two runs at once (two terminals, a test while a demo starts) make it once.
  exec {lock}<"$parent"
  flock "$lock"
  if ! server_venv_is_ready "$venv"; then
    make_server_venv "$venv" || { exec {lock}<&-; exit 1; }
  fi
  exec {lock}<&-
  S3_SERVER_PYTHON="$venv/bin/python"
}

# make_server_venv VENV: makes the private environment (see above); returns non-zero
# after saying why, with VENV removed.
make_server_venv() {
  local venv=$1 base by_hand
  base=$(command -v python3 || true)
  by_hand=$(printf "%q -m venv %q && %q -m pip install -c %q '%s'" "${base:-python3}" "$venv" "$venv/bin/python" \
    "$TARN_MOTO_CONSTRAINTS" "$TARN_MOTO_REQUIREMENT")
  if [ -z "$base" ]; then
    log "error: no python3 on PATH: the local S3 server (moto) runs on Python. Install Debian's python3 and python3-venv."
    return 1
  fi
  rm -rf "$venv"
  log "no python3 on PATH has moto (the local S3 server): installing $TARN_MOTO_REQUIREMENT"
  log "into $venv (once; about 340 MB)"
  if ! "$base" -m venv "$venv" >&2; then
    rm -rf "$venv"
    log "error: $base could not make a virtual environment (Debian's python3-venv provides it)."
    log "Install python3-venv, or run by hand:"
    log "  $by_hand"
    return 1
  fi
  : >"$venv/.tarn-unfinished"
  # pip's own output shows the download; a network that fails is retried twice, not
  # five times, so a machine without one learns it in seconds.
  if ! "$venv/bin/python" -m pip install --disable-pip-version-check --no-input --retries 2 \
    -c "$TARN_MOTO_CONSTRAINTS" "$TARN_MOTO_REQUIREMENT" >&2; then
    rm -rf "$venv"
    log "error: pip could not install $TARN_MOTO_REQUIREMENT (its message is above): the local S3 server"
    log "cannot start. Nothing was kept. Once the Python package index can be reached (or with pip"
    log "pointed at a mirror in pip.conf), run this again, or by hand:"
    log "  $by_hand"
    return 1
  fi
  rm -f "$venv/.tarn-unfinished"
  if ! server_venv_is_ready "$venv"; then
    rm -rf "$venv"
    log "error: $TARN_MOTO_REQUIREMENT was installed into $venv but does not start; nothing was kept."
    log "Run by hand to see why:"
    log "  $by_hand && $venv/bin/python -m moto.server --help"
    return 1
  fi
  log "moto is ready in $venv"
}

# start_s3_server STATE_DIR: starts the server on S3_SERVER_PYTHON (see
# resolve_server_python; its log in STATE_DIR/moto.log), waits until it answers and
# sets S3_SERVER_PID and S3_SERVER_ENDPOINT (http://localhost:PORT, so that buckets
# are reached as BUCKET.localhost:PORT). Stop it with stop_pid "$S3_SERVER_PID".
start_s3_server() {
  local state_dir=$1 python=${S3_SERVER_PYTHON:?resolve_server_python first} port
  port=$("$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  "$python" -m moto.server -H 127.0.0.1 -p "$port" >"$state_dir/moto.log" 2>&1 &
  S3_SERVER_PID=$!
  wait_for "the S3 server on port $port" 60 \
    "$python" -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/', timeout=2)" \
    || { cat "$state_dir/moto.log" >&2; die "the S3 server did not start."; }
  S3_SERVER_ENDPOINT="http://localhost:$port"
}
