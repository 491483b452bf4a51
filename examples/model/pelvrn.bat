@echo off
rem The demo job: translates, condenses and solves trade.ksx with the stored input %1, using
rem the stand-in suite kesto, and leaves run.log and pelvrn.sl4 in this folder.
rem kesto.exe is taken from %KESTO%, else from the folder above this one or its suite folder,
rem else from this folder. Every set is quoted (set "NAME=value"): a folder such as
rem "Program Files (x86)" would otherwise end the value at its parenthesis.
set "PELVRN_KESTO=%KESTO%"
if "%PELVRN_KESTO%"=="" if exist "%~dp0..\kesto.exe" set "PELVRN_KESTO=%~dp0..\kesto.exe"
if "%PELVRN_KESTO%"=="" if exist "%~dp0..\suite\kesto.exe" set "PELVRN_KESTO=%~dp0..\suite\kesto.exe"
if "%PELVRN_KESTO%"=="" if exist "%~dp0kesto.exe" set "PELVRN_KESTO=%~dp0kesto.exe"
if "%PELVRN_KESTO%"=="" goto nokesto
"%PELVRN_KESTO%" -sti %1 -los run.log
goto :eof
:nokesto
echo pelvrn.bat: cannot find kesto.exe - set KESTO, or put kesto.exe in %~dp0.. > run.log
