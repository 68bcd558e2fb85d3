' Late-bound calls of the three methods by name, as a VBScript host makes them.
Option Explicit
Dim control
On Error Resume Next
Set control = CreateObject("Norvellix_Project.Norvellix")
If Err.Number <> 0 Then
    WScript.Echo "CreateObject failed: " & Hex(Err.Number)
    WScript.Quit 1
End If
control.G_Start
control.G_Stop
control.G_Reset
If Err.Number <> 0 Then
    WScript.Echo "call failed: " & Hex(Err.Number)
    WScript.Quit 1
End If
Set control = Nothing
WScript.Echo "VBScript: G_Start G_Stop G_Reset called"
