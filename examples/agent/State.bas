' State.bas, module "state": the workflow's states. The interpreter switches here after every
' state jump; CurrProcessNode is the element of the current state in the state document.
'
' OnLoad carries out the state's entry (its attributes Status, Popup, Timer, Operation); the
' event procedures look the event up in the state's <On> rules.
Option Explicit

Sub OnLoad()
  Dim state
  Set state = CurrProcessNode
  Trace "Info:进入状态 " & state.getAttribute("ID") & "（" & state.getAttribute("Name") & "）"
  If Not IsNull(state.getAttribute("Status")) Then RaiseStatus state.getAttribute("Status")
  If Not IsNull(state.getAttribute("Popup")) Then
    RaiseEvents state.getAttribute("Popup"), CallData("ANI")
  End If
  If IsNull(state.getAttribute("Timer")) Then
    SetTimerInterval 0
  Else
    SetTimerInterval CInt(state.getAttribute("Timer"))
    SetTimerEnabled True
  End If
  If Not IsNull(state.getAttribute("Operation")) Then Request state.getAttribute("Operation"), ""
End Sub

' The front end: <MSG EVT="Answer"/> and the like, the agent's requests.
Sub OnFrontEndEvent()
  Dim message
  Set message = Parsed(CurrReceivedMsg)
  Follow message.documentElement.getAttribute("EVT")
End Sub

' The soft phone: <MSG CMD="Ringing" CALLID="..." ANI="..." DNIS="..."/> and the like. A
' ringing call becomes the current call.
Sub OnSoftPhoneEvent()
  Dim message
  Set message = Parsed(CurrReceivedMsg)
  If message.documentElement.getAttribute("CMD") = "Ringing" Then Set xDocSoftPhone = message
  Follow message.documentElement.getAttribute("CMD")
End Sub

Sub OnTimeOut()
  SetTimerInterval 0
  Follow "TimeOut"
End Sub

' What the current state's rule for the event says: an operation, a jump, or both.
Sub Follow(eventName)
  Dim rule
  Set rule = RuleFor(eventName)
  If rule Is Nothing Then
    Trace "Info:状态 " & CurrProcessNode.getAttribute("ID") & " 不处理事件 " & eventName
  ElseIf Not IsNull(rule.getAttribute("Operation")) Then
    Request rule.getAttribute("Operation"), "" & rule.getAttribute("Goto")
  ElseIf Not IsNull(rule.getAttribute("Goto")) Then
    LastStateUuid = rule.getAttribute("Goto")
    NextModuleName = "Jump"
  End If
End Sub

Function RuleFor(eventName)
  Dim rule
  Set RuleFor = Nothing
  For Each rule In CurrProcessNode.childNodes
    If rule.nodeName = "On" Then
      If rule.getAttribute("Event") = eventName Then
        Set RuleFor = rule
        Exit Function
      End If
    End If
  Next
End Function

' Hands a request to the module Operation, with the state to go to afterwards ("" to stay).
Sub Request(operation, target)
  xDocFrontEnd.loadXML "<Request/>"
  xDocFrontEnd.documentElement.setAttribute "Operation", operation
  xDocFrontEnd.documentElement.setAttribute "Goto", target
  NextModuleName = "Operation"
End Sub

Function Parsed(text)
  Set Parsed = CreateObject("MSXML2.DOMDocument")
  Parsed.loadXML text
End Function

' An attribute of the current call, or "".
Function CallData(name)
  CallData = ""
  If xDocSoftPhone.documentElement Is Nothing Then Exit Function
  CallData = "" & xDocSoftPhone.documentElement.getAttribute(name)
End Function
