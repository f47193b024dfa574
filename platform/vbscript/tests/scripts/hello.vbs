' The runner's basics: Echo with several values, arguments, StdOut.
Option Explicit
Dim i, arg
WScript.Echo "Hello from", WScript.ScriptName
WScript.Echo "Arguments:", WScript.Arguments.Count
For Each arg In WScript.Arguments
  WScript.StdOut.Write "[" & arg & "]"
Next
WScript.StdOut.WriteLine
For i = 0 To WScript.Arguments.Count - 1
  WScript.Echo i, WScript.Arguments(i)
Next
