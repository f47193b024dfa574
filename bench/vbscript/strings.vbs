' String building and scanning: appends, Len, Mid, comparisons, InStr.
Function Work(n)
  Dim i, s, count
  s = ""
  For i = 1 To n
    s = s & "ab" & (i Mod 10)
  Next
  count = 0
  For i = 1 To Len(s) Step 3
    If Mid(s, i, 1) = "a" Then count = count + 1
  Next
  Work = Len(s) & " " & count & " " & InStr(s, "ab9ab0")
End Function
WScript.Echo Work(300000)
