// Orvane.Sign from JScript. Arguments: the signer's serial number and a folder to write in.
// Ends with the number of failed checks and leaves "finished-js.txt" once every check has run
// (Wine's cscript ends with 0 after an uncaught error).
var failures = 0;
function check(what, actual, expected) {
  if (actual !== expected) {
    WScript.Echo("FAILED: " + what + ": expected [" + expected + "], got [" + actual + "]");
    failures++;
  }
}

var serial = WScript.Arguments(0);
var folder = WScript.Arguments(1);
var sign = new ActiveXObject("Orvane.Sign");
var fso = new ActiveXObject("Scripting.FileSystemObject");
var path = folder + "\\note.txt";
fso.CreateTextFile(path, true).Write("from JScript");

// JScript passes its values by value: what the method writes back stays with the server.
check("detached", sign.Signfile(path, serial, true), "success");
check("verify", sign.Verify(path, folder + "\\note_Signature.txt", true, serial), "success");
check("attached", sign.Signfile(path, serial, false, "_attached.txt"), "success");
check("restore", sign.Verify(folder + "\\note_attached.txt", folder + "\\copy.xyz", false, serial),
      "success");
check("restored", fso.OpenTextFile(folder + "\\copy.txt").ReadAll(), "from JScript");
check("GetSerialNO", sign.GetSerialNO(), serial);

fso.CreateTextFile(folder + "\\finished-js.txt", true).Write(failures);
WScript.Quit(failures);
