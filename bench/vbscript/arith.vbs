' Arithmetic loop: whole-number and floating-point operations on locals.
Function Work(n)
  Dim i, s, x
  s = 0: x = 0.5
  For i = 1 To n
    s = s + (i Mod 7) * 2 - 1
    x = x * 1.0000001 + 0.25
  Next
  Work = s & " " & Int(x)
End Function
WScript.Echo Work(3000000)
