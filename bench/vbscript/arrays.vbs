' Array work: a sieve of primes over a dynamic array, then sums over a fixed one.
Function Work(n)
  Dim i, j, count, total, k
  ReDim flags(n)
  For i = 2 To n
    flags(i) = True
  Next
  For i = 2 To Int(Sqr(n))
    If flags(i) Then
      For j = i * i To n Step i
        flags(j) = False
      Next
    End If
  Next
  count = 0
  For i = 2 To n
    If flags(i) Then count = count + 1
  Next
  Dim values(9999)
  For i = 0 To 9999
    values(i) = i Mod 100
  Next
  total = 0
  For k = 1 To 50
    For i = 0 To 9999
      total = total + values(i)
    Next
  Next
  Work = count & " " & total
End Function
WScript.Echo Work(1000000)
