' Tarsin.dll late bound from VBScript: both classes by ProgID, every method, the
' errors a script sees. Arguments: "=" & expected GetOperatingSystemName,
' "=" & expected GetOperatingSystemVersion (both from the command-line tool), and
' the comma-separated methods that the tool answers (they must answer here too).
Option Explicit

Const E_NOTIMPL = &H80004001
Dim failures : failures = 0

Sub Check(ok, what)
    If Not ok Then
        failures = failures + 1
        WScript.Echo "FAIL: " & what
    End If
End Sub

Dim tarsin : Set tarsin = CreateObject("Velmora.clsTarsin")
Dim software : Set software = CreateObject("Velmora.clsSoftWare")
Dim built : built = "," & WScript.Arguments(2) & ","

' Wine's VBScript has no Eval, so each method without parameters is named once here.
Function Ask(name)
    Select Case name
        Case "GetDiskSerialNumber": Ask = tarsin.GetDiskSerialNumber()
        Case "GetInternetCardAddress": Ask = tarsin.GetInternetCardAddress()
        Case "GetSoundCardId": Ask = tarsin.GetSoundCardId()
        Case "GetSoundCardName": Ask = tarsin.GetSoundCardName()
        Case "GetSoundCardChannel": Ask = tarsin.GetSoundCardChannel()
        Case "GetSoundCardDwformats": Ask = tarsin.GetSoundCardDwformats()
        Case "GetSoundCardDwsupport": Ask = tarsin.GetSoundCardDwsupport()
        Case "GetCPUName": Ask = tarsin.GetCPUName()
        Case "GetCPUManufacturer": Ask = tarsin.GetCPUManufacturer()
        Case "GetOperatingSystemName": Ask = tarsin.GetOperatingSystemName()
        Case "GetOperatingSystemVersion": Ask = tarsin.GetOperatingSystemVersion()
        Case "GetIEVersion": Ask = tarsin.GetIEVersion()
        Case "GetCPUModel": Ask = tarsin.GetCPUModel()
        Case "GetPhysicsMemory": Ask = tarsin.GetPhysicsMemory()
        Case "GetComputerName": Ask = tarsin.GetComputerName()
        Case "GetComputerIP": Ask = tarsin.GetComputerIP()
        Case "GetVirtualMemory": Ask = tarsin.GetVirtualMemory()
        Case "GetDiskFATname": Ask = tarsin.GetDiskFATname("C:\")
        Case "GetDiskSpace": Ask = tarsin.GetDiskSpace("C:\")
        Case "GetDiskFreeSpace": Ask = tarsin.GetDiskFreeSpace("C:\")
        Case "ChkSystemFdisk": Ask = tarsin.ChkSystemFdisk("C:\")
        Case "GetComputerDiskInfo": Ask = tarsin.GetComputerDiskInfo()
        Case "GetComputerSoftWare": Ask = tarsin.GetComputerSoftWare()
    End Select
End Function

' A built method answers with its type; one whose worker is not built yet fails
' with E_NOTIMPL and names itself.
Dim rows, row, name, answer, answered
rows = Array("GetDiskSerialNumber 8", "GetInternetCardAddress 8", "GetSoundCardId 8", "GetSoundCardName 8", _
    "GetSoundCardChannel 8", "GetSoundCardDwformats 8", "GetSoundCardDwsupport 8", "GetCPUName 8", _
    "GetCPUManufacturer 8", "GetOperatingSystemName 8", "GetOperatingSystemVersion 8", "GetIEVersion 8", _
    "GetCPUModel 8", "GetPhysicsMemory 8", "GetComputerName 8", "GetComputerIP 8", "GetVirtualMemory 8", _
    "GetDiskFreeSpace 5", "GetDiskSpace 5", "GetDiskFATname 8", "ChkSystemFdisk 3", _
    "GetComputerDiskInfo 8", "GetComputerSoftWare 8")
answered = 0
On Error Resume Next
For Each row In rows
    name = Split(row)(0)
    Err.Clear
    answer = Empty
    answer = Ask(name)
    If Err.Number = 0 Then
        answered = answered + 1
        Check VarType(answer) = CInt(Split(row)(1)), name & " answered a " & TypeName(answer)
    Else
        Check Err.Number = E_NOTIMPL, name & " failed with " & Hex(Err.Number) & " " & Err.Description
        Check InStr(Err.Description, name) > 0, name & " error text: " & Err.Description
        Check Err.Source = "Velmora.clsTarsin", name & " error source: " & Err.Source
        Check InStr(built, "," & name & ",") = 0, name & " answers in the tool but not through the DLL"
        Check IsEmpty(answer), name & " failed but answered"
    End If
Next
On Error GoTo 0
Check answered = UBound(rows) + 1, "only " & answered & " methods answered"
Check "=" & tarsin.GetOperatingSystemName() = WScript.Arguments(0), "GetOperatingSystemName differs from the tool"
Check "=" & tarsin.GetOperatingSystemVersion() = WScript.Arguments(1), "GetOperatingSystemVersion differs from the tool"

' Arrays by reference: the method resizes the script's array and leaves index 0 alone.
Sub CheckArrayCall(label, target, isTarsin)
    Dim list, ok
    list = Array("index0")
    On Error Resume Next
    If isTarsin Then ok = target.GetFixdDisk(list) Else ok = target.GetComputerSoftWare(list)
    If Err.Number = 0 Then
        Check VarType(ok) = vbBoolean, label & " answered a " & TypeName(ok)
        Check list(0) = "index0", label & " wrote index 0"
        If isTarsin Then Check UBound(list) >= 1 And Left(list(1), 2) = "C:", label & " did not list C:"
    Else
        Check Err.Number = E_NOTIMPL, label & " failed with " & Hex(Err.Number) & " " & Err.Description
        Check UBound(list) = 0 And list(0) = "index0", label & " failed but changed the array"
    End If
End Sub
CheckArrayCall "GetFixdDisk", tarsin, True
CheckArrayCall "clsSoftWare.GetComputerSoftWare", software, False

' The host's own mistakes, each with the number a script sees.
Dim fixedArray(2), square(1, 1), numbers, plain
numbers = Array(1, 2)
Sub CheckMisuse(label, expected, actual)
    Check actual = expected, label & ": error " & Hex(actual) & " instead of " & Hex(expected)
End Sub
On Error Resume Next
' An array that cannot be resized reaches GetFixdDisk, whose error trap answers False;
' clsSoftWare, which traps nothing, lets the failed resize through.
fixedArray(0) = "kept"
Err.Clear : answer = tarsin.GetFixdDisk(fixedArray) : CheckMisuse "fixed-size array", 0, Err.Number
Check answer = False And fixedArray(0) = "kept" And UBound(fixedArray) = 2, "GetFixdDisk with a fixed array"
Err.Clear : answer = tarsin.GetFixdDisk(square) : CheckMisuse "two dimensions", 0, Err.Number
Check answer = False, "GetFixdDisk with two dimensions"
Err.Clear : answer = software.GetComputerSoftWare(fixedArray) : CheckMisuse "clsSoftWare, fixed-size array", 10, Err.Number
Err.Clear : answer = tarsin.GetFixdDisk(numbers) : CheckMisuse "array of numbers", 13, Err.Number
Err.Clear : answer = tarsin.GetFixdDisk(plain) : CheckMisuse "no array at all", 13, Err.Number
Err.Clear : answer = software.GetComputerSoftWare(square) : CheckMisuse "clsSoftWare, two fixed dimensions", 10, Err.Number
Err.Clear : answer = tarsin.GetOperatingSystemName("x") : CheckMisuse "surplus argument", 450, Err.Number
Err.Clear : answer = tarsin.NoSuchMethod() : CheckMisuse "unknown method", 438, Err.Number
On Error GoTo 0

' The disk summary through the DLL against independent reads of the same prefix:
' the fixed drives that Wine's WMI lists, and each drive's file system, size and
' free space as the FileSystemObject reads them (free space may move a little between reads).
Dim wmiDisk, fso, summary, records, record, fields, fixedByWmi, listed, drive
Set fso = CreateObject("Scripting.FileSystemObject")
fixedByWmi = ""
For Each wmiDisk In GetObject("winmgmts:\\.\root\cimv2").ExecQuery("SELECT * FROM Win32_LogicalDisk WHERE DriveType = 3")
    fixedByWmi = fixedByWmi & wmiDisk.DeviceID & ","
Next
summary = tarsin.GetComputerDiskInfo()
listed = ""
records = Split(summary, "|")
For Each record In records
    fields = Split(record, "#")
    Check UBound(fields) = 4, "disk record " & record & " does not have five fields"
    If UBound(fields) = 4 Then
        listed = listed & fields(0) & ","
        Set drive = fso.GetDrive(fields(0))
        Check fields(1) = drive.FileSystem, record & ": file system " & drive.FileSystem
        Check fields(2) = CStr(Int(drive.TotalSize / 1048576)) & "M", record & ": size " & drive.TotalSize
        Check Abs(CDbl(Replace(fields(3), "M", "")) - Int(drive.FreeSpace / 1048576)) <= 64, _
            record & ": free " & drive.FreeSpace
    End If
Next
Check listed = fixedByWmi, "fixed drives " & listed & " but WMI lists " & fixedByWmi

If failures = 0 Then WScript.Echo "TarsinTest: all checks passed (" & answered & " methods answered)"
WScript.Quit failures
