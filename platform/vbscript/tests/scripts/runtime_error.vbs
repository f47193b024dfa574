Dim x
x = "abc"
WScript.Echo "line 3"
x = x * 2
