set "_imdr_dir=%~dp0x64"
if %PROCESSOR_ARCHITECTURE%==x86 if not defined PROCESSOR_ARCHITEW6432 set "_imdr_dir=%~dp0x86"
>nul "%_imdr_dir%\zDrvInst.exe" ImDisk /status|| (
 "%_imdr_dir%\zDrvInst.exe" ImDisk "%_imdr_dir%\imdisk.sys" /install
)
"%_imdr_dir%\zDrvInst.exe" ImDisk /status| >nul find "running"|| (
 "%_imdr_dir%\zDrvInst.exe" ImDisk /start
) 

exit