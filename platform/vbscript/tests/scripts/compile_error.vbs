WScript.Echo "not run"
If True Then
  WScript.Echo "x"
