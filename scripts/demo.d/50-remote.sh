# Tour: Harnvik, the remote desktop viewer, watching the screen server's moving test scene
set -euo pipefail
dir="${TELVINOR_DEMO_DIR:?}"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

# Port numbers from the system, so the tour never clashes with a viewer or server already running.
screenserver --port 0 --size 800x600 > "$dir/screenserver.out" 2>&1 &
server=$!
viewer=
cleanup() {
  [ -n "$viewer" ] && kill "$viewer" 2>/dev/null || true
  kill "$server" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT

await() {  # await FILE PATTERN: prints the first group of PATTERN once FILE shows it
  for _ in $(seq 100); do
    value=$(sed -n "s/$2/\\1/p" "$1" | head -n1)
    if [ -n "$value" ]; then echo "$value"; return 0; fi
    sleep 0.05
  done
  echo "no match for $2 in $1" >&2
  cat "$1" >&2
  return 1
}

server_port=$(await "$dir/screenserver.out" '.* port \([0-9]*\)$')
echo "screenserver: $(head -n1 "$dir/screenserver.out" | sed 's/^screenserver: //')"

Harnvik --control-port 0 --server-port "$server_port" --colors 8 \
  --grab "$dir/harnvik.png" --quit-after 4 > "$dir/harnvik.out" 2>&1 &
viewer=$!
control_port=$(await "$dir/harnvik.out" '.*UDP port \([0-9]*\)$')
echo "Harnvik: waiting for control datagrams on UDP port $control_port"

harnvik-ctl --port "$control_port" start 127.0.0.1
echo "sent START:127.0.0.1; the viewer connects and refreshes every 398 ms"
sleep 2
harnvik-ctl --port "$control_port" stop
harnvik-ctl --port "$control_port" quit
echo "sent STOP (the last picture stays) and <<QUIT>> (the control thread ends)"
wait "$viewer"
viewer=

test -s "$dir/harnvik.png"
echo "window grabbed to $dir/harnvik.png"
