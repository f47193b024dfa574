' Host object calls: Scripting.Dictionary members through cached dispatch ids.
Function Work(n)
  Dim d, i, s
  Set d = CreateObject("Scripting.Dictionary")
  For i = 1 To n
    d.Add "k" & i, i
  Next
  s = 0
  For i = 1 To n
    If d.Exists("k" & i) Then s = s + d("k" & i)
  Next
  Work = d.Count & " " & s
End Function
WScript.Echo Work(200000)
