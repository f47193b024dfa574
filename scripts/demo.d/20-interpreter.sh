# Tour: Agent script interpreter: a scripted call through the sample workflow
# Registers the interpreter library, points the settings at the sample workflow in
# examples/agent (written as an installation writes them on Windows, D:\agent), starts the
# trace listener, and runs agenthost fed a scripted call: log-in, ringing, answer, hang-up,
# wrap-up ended by the workflow's timer. Shows the events and the trace lines.
set -euo pipefail
cd "$(dirname "$0")/../.."
root="$PWD"
dir="${TELVINOR_DEMO_DIR:-$(mktemp -d)}"
export TELVINOR_REGISTRY="${TELVINOR_REGISTRY:-$dir/registry.reg}"
lib="$(cd "$(dirname "$(command -v agenthost)")/../lib" && pwd)"
key='HKLM\Software\Brenlow\Ostrel\Telvinor'

echo "-- regsvr: Vessamor.clsInterpretor"
regsvr "$lib/libVessamor.so"
reg query 'HKCR\Vessamor.clsInterpretor\CLSID' /ve

# Paths in the settings open with "\" read as "/", relative to the working directory, so a
# folder named "D:" in the tour's folder stands in for the drive.
echo "-- reg add: the settings point at D:\\agent (the sample in examples/agent)"
mkdir -p "$dir/D:"
ln -sfn "$root/examples/agent" "$dir/D:/agent"
reg add "$key" /v BinPath /d 'D:\agent' /f
reg add "$key" /v AgentRunPath /d 'D:\agent\AgentRun.xml' /f
reg add "$key" /v StatePath /d 'D:\agent\state' /f

echo "-- tracelisten on 127.0.0.1:33334 (in the background)"
# 17 trace lines come from this call; the listener ends when it has them, or after 10 s.
tracelisten --count 17 --timeout 10 --color never > "$dir/traces.txt" 2> "$dir/tracelisten.err" &
listener=$!
for _ in $(seq 100); do
  grep -q 'listening on' "$dir/tracelisten.err" 2>/dev/null && break
  kill -0 "$listener" 2>/dev/null || break
  sleep 0.05
done
cat "$dir/tracelisten.err"

echo "-- the scripted call (examples/agent/call.txt):"
cat examples/agent/call.txt
echo "-- agenthost: one line per event (name, then arguments, tab-separated)"
(cd "$dir" && agenthost --messages "$root/examples/agent/call.txt" --linger 2.5) | tee "$dir/events.txt"

status=0
wait "$listener" || status=$?
echo "-- trace lines"
cat "$dir/traces.txt"
case "$status" in
  0) ;;
  3) echo "(port 33334 is taken by another listener, which got the trace lines)" ;;
  *) echo "(the listener saw fewer trace lines than expected)" ;;
esac
grep -q 'sRaiseStatus	空闲' "$dir/events.txt"
