set "_imdr_dir=%~dp0x64"
if %PROCESSOR_ARCHITECTURE%==x86 if not defined PROCESSOR_ARCHITEW6432 set "_imdr_dir=%~dp0x86"

"%_imdr_dir%\zDrvInst.exe" ImDisk /stop
"%_imdr_dir%\zDrvInst.exe" ImDisk /uninstall

pause
exit
