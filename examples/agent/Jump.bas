' Jump.bas, module "Jump": the one place where the workflow changes state. A module asks for a
' jump with
'     LastStateUuid = "Idle"
'     NextModuleName = "Jump"
' and once its statement has ended the interpreter switches here and runs OnLoad.
'
' The jump is made from inside this script, so the interpreter does not run the new state's
' OnLoad itself (the script host refuses a statement while one is running, and the interpreter
' drops that refusal); switching to the module "state" afterwards runs it.
Option Explicit

Sub OnLoad()
  Dim target
  target = LastStateUuid
  If Not StateExists(target) Then
    Trace "Err:流程中没有状态 " & target
    If Not CurrProcessNode Is Nothing Then JumpToState CurrProcessNode.getAttribute("ID")
    Exit Sub
  End If
  Trace "Info:跳转 " & CurrentState() & " -> " & target
  JumpToState target
  NextModuleName = "state"
End Sub

Function StateExists(id)
  Dim node
  StateExists = False
  For Each node In xDoc.selectNodes("//*[@ID]")
    If node.getAttribute("ID") = id Then
      StateExists = True
      Exit Function
    End If
  Next
End Function

Function CurrentState()
  CurrentState = "(开始)"
  If Not CurrProcessNode Is Nothing Then CurrentState = CurrProcessNode.getAttribute("ID")
End Function
