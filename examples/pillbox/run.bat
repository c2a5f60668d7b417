@echo off
rem Converts the example table: runs zereduv in this folder, which holds
rem zereduv.dat and pillbox.txt, and writes zereduv.log and eh_ZIV.#01 here.
rem Run it from a console (cmd or PowerShell), in any folder.
setlocal
"%~dp0..\zereduv.exe" "%~dp0zereduv.dat"
set status=%ERRORLEVEL%
echo zereduv ended with status %status%
exit /b %status%
