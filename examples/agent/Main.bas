' Main.bas, module "Main": runs once, when the interpreter has loaded the workflow.
'
' The workflow starts as if the front end had asked to log in: the module Operation sends the
' log-in to the CTI server and then moves the workflow to the state "LogIn", where it waits
' for the soft phone's answer.
'
' How the modules hand over to one another: a module sets NextModuleName, and once its
' statement has ended the interpreter switches to that module and runs its OnLoad. Modules do
' not see each other's variables; what they pass on lives in the Engine's properties:
'   xDocFrontEnd    the request the module Operation carries out next
'   xDocSoftPhone   the current call (the soft phone's "Ringing" message)
'   LastStateUuid   the state the module Jump goes to next
Option Explicit

Sub OnLoad()
  Dim workflow
  Set workflow = xDoc.documentElement
  Trace "Info:坐席 " & workflow.getAttribute("Agent") & " 加载流程 " & workflow.getAttribute("Name")
  xDocFrontEnd.loadXML "<Request Operation=""Login"" Goto=""LogIn""/>"
  NextModuleName = "Operation"
End Sub
