' Prints every fact that Tarsin.dll gives about this machine, one line each.
' Register the DLL first (regsvr32 Tarsin.dll), then run:  cscript //nologo inventory.vbs
' A method that the installed build does not offer prints its error instead.
Option Explicit

Dim tarsin, software, answer
Set tarsin = CreateObject("Velmora.clsTarsin")
Set software = CreateObject("Velmora.clsSoftWare")

Sub Ready()
    Err.Clear
    answer = Empty
End Sub

Sub Report(label)
    If Err.Number <> 0 Then
        WScript.Echo label & ": (error " & Err.Number & ": " & Err.Description & ")"
    Else
        WScript.Echo label & ": " & answer
    End If
    Err.Clear
End Sub

On Error Resume Next
Ready : answer = tarsin.GetDiskSerialNumber() : Report "GetDiskSerialNumber"
Ready : answer = tarsin.GetInternetCardAddress() : Report "GetInternetCardAddress"
Ready : answer = tarsin.GetSoundCardId() : Report "GetSoundCardId"
Ready : answer = tarsin.GetSoundCardName() : Report "GetSoundCardName"
Ready : answer = tarsin.GetSoundCardChannel() : Report "GetSoundCardChannel"
Ready : answer = tarsin.GetSoundCardDwformats() : Report "GetSoundCardDwformats"
Ready : answer = tarsin.GetSoundCardDwsupport() : Report "GetSoundCardDwsupport"
Ready : answer = tarsin.GetCPUName() : Report "GetCPUName"
Ready : answer = tarsin.GetCPUManufacturer() : Report "GetCPUManufacturer"
Ready : answer = tarsin.GetOperatingSystemName() : Report "GetOperatingSystemName"
Ready : answer = tarsin.GetOperatingSystemVersion() : Report "GetOperatingSystemVersion"
Ready : answer = tarsin.GetIEVersion() : Report "GetIEVersion"
Ready : answer = tarsin.GetCPUModel() : Report "GetCPUModel"
Ready : answer = tarsin.GetPhysicsMemory() : Report "GetPhysicsMemory"
Ready : answer = tarsin.GetComputerName() : Report "GetComputerName"
Ready : answer = tarsin.GetComputerIP() : Report "GetComputerIP"
Ready : answer = tarsin.GetVirtualMemory() : Report "GetVirtualMemory"
Ready : answer = tarsin.GetComputerDiskInfo() : Report "GetComputerDiskInfo"
Ready : answer = tarsin.GetComputerSoftWare() : Report "GetComputerSoftWare"

' The fixed drives come back in an array that the method resizes; index 0 stays unused.
' Start from a dynamic array (Array(...)): a fixed one (Dim a(0)) cannot be resized, and
' GetFixdDisk then answers False.
Dim drives, drive, i
drives = Array("")
Ready : answer = tarsin.GetFixdDisk(drives) : Report "GetFixdDisk"
For i = 1 To UBound(drives)
    drive = drives(i)
    Ready : answer = tarsin.GetDiskFATname(drive) : Report "  " & drive & " GetDiskFATname"
    Ready : answer = tarsin.GetDiskSpace(drive) : Report "  " & drive & " GetDiskSpace"
    Ready : answer = tarsin.GetDiskFreeSpace(drive) : Report "  " & drive & " GetDiskFreeSpace"
    Ready : answer = tarsin.ChkSystemFdisk(drive) : Report "  " & drive & " ChkSystemFdisk"
Next

' clsSoftWare hands the installed programs over in an array of the same kind.
Dim programs
programs = Array("")
Ready : answer = software.GetComputerSoftWare(programs) : Report "clsSoftWare.GetComputerSoftWare"
For i = 1 To UBound(programs)
    WScript.Echo "  " & programs(i)
Next
