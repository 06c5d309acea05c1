' One client of the control, run by the cscript of one bitness on a 64-bit system where the
' 32-bit and the 64-bit library may each be registered in its own view.
' Arguments: "present" or "absent" (whether this bitness's library is registered), and the
' process architecture the client must run as ("AMD64" or "x86").
' Prints "N passed, N failed" last; the exit code is the number of failures.
Option Explicit

Dim passed, failed
passed = 0
failed = 0

Sub Check(what, actual, expected)
  If CStr(actual) = CStr(expected) Then
    passed = passed + 1
  Else
    failed = failed + 1
    WScript.Echo "FAIL " & what & ": got [" & actual & "], expected [" & expected & "]"
  End If
End Sub

Dim shell, pd, created
Set shell = CreateObject("WScript.Shell")
Check "client architecture", shell.Environment("Process")("PROCESSOR_ARCHITECTURE"), _
  WScript.Arguments(1)

On Error Resume Next
Set pd = CreateObject("HN_QuillonPD.QuillonPD")
created = (Err.Number = 0)
Err.Clear
On Error GoTo 0

If WScript.Arguments(0) = "absent" Then
  Check "created without a library of this bitness", created, False
Else
  Check "created through the ProgID", created, True
  If created Then
    pd.NTF = "N1:T1.F1"
    Check "NTF", pd.NTF, "N1:T1.F1"
    pd.Formatage = "0 %"
    pd.MaJNTF "12", "12", 0, Now
    Check "Valeur after MaJNTF", pd.Valeur, "12 %"
    Check "Qualite after MaJNTF", pd.Qualite, "0"
    Set pd = Nothing
  End If
End If

WScript.Echo passed & " passed, " & failed & " failed"
WScript.Quit failed
