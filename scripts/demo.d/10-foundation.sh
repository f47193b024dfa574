# Tour: Registry, settings and in-process automation servers
# Writes the settings key with reg, reads it back (also as the console reads it), exports and
# re-imports it, registers the sample in-process server with regsvr and calls an object
# created by its ProgID. Works in the tour's own hive ($TELVINOR_REGISTRY).
set -euo pipefail
key='HKLM\Software\Brenlow\Ostrel\Telvinor'
lib="$(cd "$(dirname "$(command -v reg)")/../lib" && pwd)"
export TELVINOR_REGISTRY="${TELVINOR_REGISTRY:-$TELVINOR_DEMO_DIR/registry.reg}"

echo "-- reg add: the settings of the interpreter and the console"
reg add "$key" /v BinPath /d 'D:\agent\scripts' /f
reg add "$key" /v AgentRunPath /d 'D:\agent\scripts\states.xml' /f
reg add "$key" /v StatePath /d '%TEMP%\agent' /t REG_EXPAND_SZ /f
reg add "$key" /v AgentID /d 'Agent2' /f
reg add "$key" /v ConnectionString /d 'Provider=SQLOLEDB.1;Data Source=cti;Initial Catalog=Norvaldb' /f

echo "-- reg query"
reg query "$key" /v BinPath
reg query "$key"

echo "-- Kelmora reads its settings through cRegistry"
Kelmora --settings

echo "-- reg export, then reg import into an empty hive"
reg export 'HKLM\Software\Brenlow' "$TELVINOR_DEMO_DIR/brenlow.reg" /y
TELVINOR_REGISTRY="$TELVINOR_DEMO_DIR/empty.reg" reg import "$TELVINOR_DEMO_DIR/brenlow.reg"
TELVINOR_REGISTRY="$TELVINOR_DEMO_DIR/empty.reg" reg query "$key" /v AgentID

echo "-- regsvr: the sample in-process server"
regsvr "$lib/libtelvinor_sample_server.so"
reg query 'HKCR\TelvinorSample.Echo\CLSID' /ve

echo "-- objcall: create TelvinorSample.Echo by ProgID, call by name, by dispatch id, by reference"
objcall TelvinorSample.Echo Echo 'agent 7'
objcall TelvinorSample.Echo '#0x60030001' 'called by dispatch id'
objcall TelvinorSample.Echo Twice 21
regsvr /u "$lib/libtelvinor_sample_server.so"
