' A small call-handling workflow in the style of the agent scripts: a state table in a
' Dictionary, a class for the call, and a regular expression to read the caller number.
Option Explicit

Class CallInfo
  Public Caller, Called, State
  Private Sub Class_Initialize()
    State = "idle"
  End Sub
  Public Property Get Summary()
    Summary = State & ": " & Caller & " -> " & Called
  End Property
End Class

Dim states, ci, re, m, msg
Set states = CreateObject("Scripting.Dictionary")
states.Add "idle", "ringing"
states.Add "ringing", "talking"
states.Add "talking", "wrapup"

Set ci = New CallInfo
msg = "<MSG EVT=""RING"" ANI=""13800138000"" DNIS=""95555""/>"
Set re = New RegExp
re.Pattern = "ANI=""(\d+)"" DNIS=""(\d+)"""
Set m = re.Execute(msg)(0)
ci.Caller = m.SubMatches(0)
ci.Called = m.SubMatches(1)

Do While states.Exists(ci.State)
  ci.State = states(ci.State)
  WScript.Echo ci.Summary
Loop
WScript.Echo "Duration:", FormatNumber(125 / 60, 1), "min"
