' Whether Orvane.Sign can be created and answers, from the cscript of one bitness.
' Argument: "registered" or "unregistered", what the caller expects.
' Ends with the number of failed checks, and echoes "checked" once every check has run: Wine's
' cscript ends with 0 after an uncaught error.
Option Explicit
Dim expected, failures, sign, created, answer
expected = WScript.Arguments(0)
failures = 0

On Error Resume Next
Set sign = CreateObject("Orvane.Sign")
created = (Err.Number = 0)
On Error GoTo 0

If expected = "registered" Then
  If created Then
    ' A call through the server: no serial number names no certificate. (What follows the
    ' sentence depends on the prefix's stores.)
    answer = sign.Signfile(WScript.ScriptFullName)
    If InStr(answer, "Error: Certificate is either damaged") <> 1 Then
      WScript.Echo "FAILED: Signfile answered [" & answer & "]"
      failures = failures + 1
    End If
  Else
    WScript.Echo "FAILED: Orvane.Sign cannot be created"
    failures = failures + 1
  End If
ElseIf created Then
  WScript.Echo "FAILED: Orvane.Sign can still be created"
  failures = failures + 1
End If

WScript.Echo "checked"
WScript.Quit failures
