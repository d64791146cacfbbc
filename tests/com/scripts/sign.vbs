' Orvane.Sign and Orvane.XML from VBScript, as scripts call them.
' Arguments: the signer's serial number, and a folder to write in.
' Ends with the number of failed checks: Wine's cscript ends with 0 after an uncaught error.
Option Explicit
Dim failures, serial, folder, sign, message, answer, fso, path, extension, xml, refused
failures = 0

Sub Check(what, actual, expected)
  If actual <> expected Then
    WScript.Echo "FAILED: " & what & ": expected [" & expected & "], got [" & actual & "]"
    failures = failures + 1
  End If
End Sub

serial = WScript.Arguments(0)
folder = WScript.Arguments(1)
Set sign = CreateObject("Orvane.Sign")

' Content mode, sExtension left out: the signature comes back through the variable.
message = "text to sign"
answer = sign.Signfile(message, serial, False, , True)
Check "content mode", answer, "success"
Check "the message in the variable", Left(message, 3), "MII"

' File mode: the variable receives the default suffix, the signature lies beside the file.
Set fso = CreateObject("Scripting.FileSystemObject")
path = folder & "\contract.txt"
fso.CreateTextFile(path, True).Write "the terms"
extension = ""
answer = sign.Signfile(path, serial, False, extension)
Check "file mode", answer, "success"
Check "the suffix in the variable", extension, "_Signature.txt"
Check "the signature file", fso.FileExists(folder & "\contract_Signature.txt"), True

' Only inputfilename: the serial number "" names no certificate.
Check "defaults", sign.Signfile(path), _
      "Error: Certificate is either damaged, uninstalled or not present."

sign.LogError "Orvane.Dll : VBScript : a statement without a result"

Set xml = CreateObject("Orvane.XML")
xml.sXmlData = "<SerialNumber>4A6B</SerialNumber>"
Check "XML", xml.ReadNodeData(xml.sXmlData, "<SerialNumber>", "</SerialNumber>"), "4A6B"

On Error Resume Next
Set refused = CreateObject("Orvane.vbObjSafety")
Check "vbObjSafety cannot be created", Err.Number, 429
On Error GoTo 0

WScript.Quit failures
