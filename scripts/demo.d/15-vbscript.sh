# Tour: VBScript engine: run a call-handling script with the vbs runner
set -euo pipefail
cd "$(dirname "$0")/../.."
dir="${TELVINOR_DEMO_DIR:-$(mktemp -d)}"
script="$dir/tour.vbs"
cat > "$script" <<'EOS'
' A short tour of the engine: classes, a Dictionary, a regular expression, errors.
Option Explicit
Class Agent
  Public Name, Calls
  Public Function Take(number)
    Calls = Calls + 1
    Take = Name & " takes call " & Calls & " from " & number
  End Function
End Class
Dim a, queue, re, m, n
Set a = New Agent
a.Name = "Agent 007"
Set queue = CreateObject("Scripting.Dictionary")
Set re = New RegExp
re.Pattern = "ANI=""(\d+)"""
re.Global = True
For Each m In re.Execute("<MSG EVT=""RING"" ANI=""13800138000""/><MSG EVT=""RING"" ANI=""95555""/>")
  queue.Add m.SubMatches(0), Now
Next
For Each n In queue.Keys
  WScript.Echo a.Take(n)
Next
On Error Resume Next
Dim x: x = 1 / 0
WScript.Echo "Caught error", Err.Number & ":", Err.Description
On Error GoTo 0
WScript.Echo "Arguments:", WScript.Arguments.Count, "- quitting with status 0"
EOS
vbs "$script" first second
# A script error is reported with file, line and column, and a non-zero status.
printf 'WScript.Echo "about to fail"\nx = "abc" * 2\n' > "$dir/broken.vbs"
if vbs "$dir/broken.vbs"; then
  echo "expected a failure" >&2
  exit 1
fi
echo "(the error above is part of the tour)"
