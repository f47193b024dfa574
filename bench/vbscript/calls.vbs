' Procedure calls: a small function called in a loop, and recursion.
Function Add(a, b)
  Add = a + b
End Function
Function Fib(n)
  If n < 2 Then
    Fib = n
  Else
    Fib = Fib(n - 1) + Fib(n - 2)
  End If
End Function
Function Work(n)
  Dim i, s
  s = 0
  For i = 1 To n
    s = Add(s, i)
  Next
  Work = s & " " & Fib(24)
End Function
WScript.Echo Work(1000000)
