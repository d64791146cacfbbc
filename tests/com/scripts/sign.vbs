' Orvane.Sign and Orvane.XML from VBScript, as scripts call them.
' Arguments: the signer's serial number, a folder to write in, the test PKI's folder (with a
' text file and openssl's detached signature of it, as Base64), and a folder where the messages
' made here are left for the openssl command on the host to verify.
' Ends with the number of failed checks. Wine's cscript ends with 0 after an uncaught error, so
' the script also leaves "finished.txt" in the folder once every check has run.
Option Explicit
Dim failures, serial, folder, sign, message, answer, fso, path, extension, xml, refused, restored
Dim pki, out, signature, detached
failures = 0

Sub Check(what, actual, expected)
  If actual <> expected Then
    WScript.Echo "FAILED: " & what & ": expected [" & expected & "], got [" & actual & "]"
    failures = failures + 1
  End If
End Sub

serial = WScript.Arguments(0)
folder = WScript.Arguments(1)
pki = WScript.Arguments(2)
out = WScript.Arguments(3)
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

' Attached: the restored name comes back through the variable.
restored = folder & "\copy.xyz"
Check "attached verify", sign.Verify(folder & "\contract_Signature.txt", restored, False, serial), _
      "success"
Check "the restored name in the variable", restored, folder & "\copy.txt"
Check "the restored content", fso.OpenTextFile(restored).ReadAll, "the terms"

' Detached, verified at once; then verified with and without the login certificate's serial.
Check "detached", sign.Signfile(path, serial, True), "success"
Check "detached verify", sign.Verify(path, folder & "\contract_Signature.txt", True, serial), _
      "success"
Check "three arguments", sign.Verify(path, folder & "\contract_Signature.txt", True), _
      "The file has not been signed with the certificate used for login."

' Only inputfilename: the serial number "" names no certificate.
Check "defaults", sign.Signfile(path), _
      "Error: Certificate is either damaged, uninstalled or not present."

' All five arguments, attached into a name of the caller's suffix; then detached.
extension = "_attached.txt"
Check "five arguments", sign.Signfile(path, serial, False, extension, False), "success"
extension = ".p7s"
Check "four arguments", sign.Signfile(path, serial, True, extension), "success"
fso.CopyFile folder & "\contract_attached.txt", out & "\attached.txt", True
fso.CopyFile folder & "\contract.p7s", out & "\detached.txt", True
fso.CopyFile path, out & "\content.txt", True

' VerifyCodeWithFile: a signature the openssl command made over a file's bytes.
signature = fso.OpenTextFile(pki & "\openssl-detached.b64").ReadAll
detached = True
Check "VerifyCodeWithFile", sign.VerifyCodeWithFile(pki & "\content.txt", signature, detached), _
      "success"
signature = "MIIB" & signature
Check "VerifyCodeWithFile, damaged", _
      sign.VerifyCodeWithFile(pki & "\content.txt", signature, detached), _
      "Signature or Certificate is not valid "

' The configured certificate (the test wrote the configuration file into this bitness's
' system directory).
Check "GetSerialNO", sign.GetSerialNO(), serial
message = "<invoice>42</invoice>"
answer = sign.GetServiceProviderDS(message)
Check "GetServiceProviderDS", Left(answer, 3), "MII"
Check "sData is never written", message, "<invoice>42</invoice>"
Check "ServiceProviderDS", Left(sign.ServiceProviderDS(path), 3), "MII"
Check "ServiceProviderDS, no file", sign.ServiceProviderDS(folder & "\missing.txt"), "-1"

' Values without text answer as the method's step does; an object gives its default value.
Class NamedFile
  Public Default Property Get Name
    Name = path
  End Property
End Class
Check "an array", sign.Signfile(Array(path), serial, True), "Err Description: Type mismatch"
Check "an argument left out", sign.Verify(, folder & "\contract_Signature.txt", True, serial), _
      "Original File Not Found Or Can't BE Accessed"
Check "an object", sign.Verify(New NamedFile, folder & "\missing.txt", True, serial), _
      "Digital Siganture File Not Found Or Can't Be Accessed for Original file :" & path

sign.LogError "Orvane.Dll : VBScript : a statement without a result"

' Variables that a method does not write keep their value and their type: only the message of
' content mode and the default suffix of file mode go back.
Dim blank, number, one, kept
blank = Empty: number = 123: one = 1
message = "text to sign"
Check "content mode, kept", sign.Signfile(message, serial, one, blank, one), "success"
Check "Empty sExtension, content mode", VarType(blank), vbEmpty
Check "1 for bDetached and IsContent", VarType(one) & "=" & one, vbInteger & "=1"
Check "the message in the variable, kept", Left(message, 3), "MII"
answer = sign.GetServiceProviderDS(blank)
Check "Empty sData", VarType(blank), vbEmpty
kept = number
Check "Verify, nothing restored", sign.Verify(folder & "\missing.txt", kept, one, number), _
      "Original File Not Found Or Can't BE Accessed"
Check "123 for DigitalSignedFileName and sSerialNo", VarType(kept) & VarType(number) & kept, _
      vbInteger & vbInteger & "123"
Check "VerifyCodeWithFile of Empty", sign.VerifyCodeWithFile(blank, number, one), _
      "Original File Not Found Or Can't BE Accessed"
Check "VerifyCodeWithFile writes nothing", VarType(blank) & VarType(number) & VarType(one), _
      vbEmpty & vbInteger & vbInteger

Set xml = CreateObject("Orvane.XML")
xml.sXmlData = "<SerialNumber>4A6B</SerialNumber>"
Check "XML", xml.ReadNodeData(xml.sXmlData, "<SerialNumber>", "</SerialNumber>"), "4A6B"
Check "ReadNodeData of Empty", xml.ReadNodeData(blank, number, one), ""
Check "ReadNodeData writes nothing", VarType(blank) & VarType(number) & VarType(one), _
      vbEmpty & vbInteger & vbInteger

On Error Resume Next
Set refused = CreateObject("Orvane.vbObjSafety")
Check "vbObjSafety cannot be created", Err.Number, 429
On Error GoTo 0

fso.CreateTextFile(folder & "\finished.txt", True).Write failures
WScript.Quit failures
