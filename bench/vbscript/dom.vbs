' DOM attribute reads: a document of 2000 elements, every attribute read 100 times.
On Error Resume Next
Dim doc
Set doc = CreateObject("MSXML2.DOMDocument")
If Err.Number <> 0 Then
  WScript.Echo "SKIP: no XML DOM in this build (CreateObject(""MSXML2.DOMDocument"") failed)"
  WScript.Quit 3
End If
On Error GoTo 0
Function Work()
  Dim xml, i, k, node, total
  xml = "<items>"
  For i = 1 To 2000
    xml = xml & "<item id=""" & i & """ name=""n" & (i Mod 100) & """/>"
  Next
  xml = xml & "</items>"
  doc.loadXML xml
  total = 0
  For k = 1 To 100
    For Each node In doc.documentElement.childNodes
      total = total + Len(node.getAttribute("name")) + CLng(node.getAttribute("id"))
    Next
  Next
  Work = total
End Function
WScript.Echo Work()
