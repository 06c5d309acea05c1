' The control as a script sees it: created by its ProgID through Automation, every call late
' bound. Prints "N passed, N failed" last; the exit code is the number of failures.
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

Dim pd
Set pd = CreateObject("HN_QuillonPD.QuillonPD")

' The point reference: the literal while none is set, then what was set.
Check "NTF default", pd.NTF, "Noeud:Tag.Field"
pd.NTF = "N1:T1.F1"
Check "NTF set", pd.NTF, "N1:T1.F1"

' A script never calls InitNew: the control has the state of a freshly created instance.
Check "Qualite of a fresh control", pd.Qualite, "0"
Check "Valeur of a fresh control", pd.Valeur, ""
Check "Frequence_Rafraichissement of a fresh control", pd.Frequence_Rafraichissement, 0

' The five value properties discard what is assigned to them.
pd.Valeur = "x"
pd.ValeurNombre = 42
pd.ValeurFormatee = "x"
pd.HorodatageDernLect = "x"
pd.Qualite = "0"
Check "Valeur after a put", pd.Valeur, ""
Check "ValeurNombre after a put", pd.ValeurNombre, 0
Check "ValeurFormatee after a put", pd.ValeurFormatee, ""
Check "Qualite after a put", pd.Qualite, "0"

' A refresh period outside the enumeration is kept as it is.
pd.Frequence_Rafraichissement = 5
Check "Frequence_Rafraichissement 5", pd.Frequence_Rafraichissement, 5

' A percent sign in the pattern is a plain character.
pd.Formatage = "0 %"
pd.MaJNTF "12", "12", 0, Now
Check "Valeur with 0 %", pd.Valeur, "12 %"
Check "ValeurNombre of 12", pd.ValeurNombre, 12
Check "Qualite after MaJNTF 0", pd.Qualite, "0"

' Variables go by reference and come back unchanged.
Dim valeur, formatee, qualite, moment
valeur = "7"
formatee = "7,0"
qualite = 255
moment = Now
pd.MaJNTF valeur, formatee, qualite, moment
Check "Qualite after MaJNTF 255", pd.Qualite, "-1"
Check "argument left as it came", qualite, 255
Check "Valeur of 7", pd.Valeur, "7 %"

' The strings of variables passed to MaJNTF stay the script's: new strings of the same size,
' which would take the memory of a freed one, leave them as they were.
Dim i, intact, texte, autre
intact = True
pd.Formatage = ""
For i = 1 To 300
  valeur = "v" & (1000 + i)
  formatee = "f" & (1000 + i)
  pd.MaJNTF valeur, formatee, qualite, moment
  texte = "t" & (1000 + i)
  autre = "u" & (1000 + i)
  If valeur <> "v" & (1000 + i) Or formatee <> "f" & (1000 + i) Then intact = False
Next
Check "variables passed to MaJNTF are left intact", intact, True
Check "last value passed in a loop", pd.ValeurFormatee, "f1300"
Check "strings made after the calls", formatee & texte & autre, "f1300t1300u1300"
pd.Formatage = "0 %"
pd.MaJNTF "7", "7,0", qualite, moment

pd.Rafraichir
Check "Rafraichir changes nothing", pd.Qualite, "-1"

' A wrong argument type is an error the script can catch, and changes nothing.
On Error Resume Next
pd.Frequence_Rafraichissement = "vite"
Check "wrong type raises an error", Err.Number <> 0, True
Err.Clear
pd.MaJNTF "1", "1", "pas un octet", Now
Check "wrong argument raises an error", Err.Number <> 0, True
Err.Clear
pd.MaJNTF "1"
Check "missing arguments raise an error", Err.Number <> 0, True
Err.Clear
On Error GoTo 0
Check "period after the failed put", pd.Frequence_Rafraichissement, 5
Check "Qualite after the failed calls", pd.Qualite, "-1"

Set pd = Nothing
WScript.Echo passed & " passed, " & failed & " failed"
WScript.Quit failed
