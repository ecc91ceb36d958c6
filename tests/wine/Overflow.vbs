' A failure that the component lets through reaches the script as the error of the
' call: more than 32,767 uninstall entries overflow the 16-bit counters (error 6).
Option Explicit
Dim failures : failures = 0
Sub Check(ok, what)
    If Not ok Then
        failures = failures + 1
        WScript.Echo "FAIL: " & what
    End If
End Sub

Dim tarsin : Set tarsin = CreateObject("Velmora.clsTarsin")
Dim software : Set software = CreateObject("Velmora.clsSoftWare")
Dim answer, names
names = Array("keep")
On Error Resume Next
answer = "sentinel"
answer = tarsin.GetComputerSoftWare()
Check Err.Number = 6, "clsTarsin.GetComputerSoftWare: error " & Err.Number & " " & Err.Description
Check Err.Description = "Overflow", "description " & Err.Description
Check Err.Source = "Velmora.clsTarsin", "source " & Err.Source
Check answer = "sentinel", "a failed call answered " & answer
Err.Clear
answer = software.GetComputerSoftWare(names)
Check Err.Number = 6, "clsSoftWare.GetComputerSoftWare: error " & Err.Number
Check Err.Source = "Velmora.clsSoftWare", "source " & Err.Source
Check UBound(names) = 0 And names(0) = "keep", "a failed call changed the array"
On Error GoTo 0
If failures = 0 Then WScript.Echo "Overflow: all checks passed"
WScript.Quit failures
