' Operation.bas, module "Operation": carries out a request for the CTI server.
'
' The request is the root element of xDocFrontEnd, written by the module that asked:
'   <Request Operation="Answer" Goto=""/>
' The command for the CTI server is built as an XML element (so values are escaped) and
' leaves through SendMsgToCtiServer; the host forwards it. Then the workflow moves on:
' to the state in Goto through the module Jump, or, without one, back to the current state.
Option Explicit

Sub OnLoad()
  Dim request, operation, command
  Set request = xDocFrontEnd.documentElement
  operation = request.getAttribute("Operation")
  Set command = NewCommand(operation)
  Select Case operation
    Case "Login"
      command.setAttribute "AGENT", Agent()
      command.setAttribute "EXT", xDoc.documentElement.getAttribute("Extension")
    Case "Logout", "Ready", "NotReady"
      command.setAttribute "AGENT", Agent()
    Case "Answer", "Hangup"
      command.setAttribute "CALLID", CallId()
    Case Else
      Trace "Err:Î´ÖªµÄ²Ù×÷ " & operation
      Set command = Nothing
  End Select
  If Not command Is Nothing Then SendMsgToCtiServer command.xml

  If "" & request.getAttribute("Goto") <> "" Then
    LastStateUuid = request.getAttribute("Goto")
    NextModuleName = "Jump"
  ElseIf Not CurrProcessNode Is Nothing Then
    ' Back to the current state without entering it again: a jump made from inside a script
    ' sets the state and the module "state" but does not run the state's OnLoad.
    JumpToState CurrProcessNode.getAttribute("ID")
  End If
End Sub

Function NewCommand(name)
  Dim message
  Set message = CreateObject("MSXML2.DOMDocument")
  message.loadXML "<MSG/>"
  message.documentElement.setAttribute "CMD", name
  Set NewCommand = message.documentElement
End Function

Function Agent()
  Agent = xDoc.documentElement.getAttribute("Agent")
End Function

' The call id of the current call, or "" before the first call.
Function CallId()
  CallId = ""
  If xDocSoftPhone.documentElement Is Nothing Then Exit Function
  CallId = "" & xDocSoftPhone.documentElement.getAttribute("CALLID")
End Function
