@echo off
rem COMMISSIONING KIT - NEVER RUN THIS ON A MACHINE WHERE A LIVE CONTROL SYSTEM RUNS.
rem It starts a stand-in RVX and three stand-in InfoDrivers, which answer the
rem same broadcasts as the real ones: beside a live system they would take
rem its drivers' messages. Run it on a bench machine, or with the control
rem system stopped.
rem
rem What it does: the worked example of the site guide on the kit's own site
rem (kit\site, device 201, InfoDrivers 202, 203 and 204). CC_ROOT and
rem CC_SYSTEM point at the kit, so the driver reads and writes nothing of a
rem live configuration. The stand-ins print every message; the example ends
rem by itself in about a minute. Logs go to kit\logs.
setlocal
set KIT=%~dp0
for %%i in ("%KIT%..") do set TOP=%%~fi
set CC_ROOT=%KIT%site
set CC_SYSTEM=SYSTEM
set CFG=%CC_ROOT%\%CC_SYSTEM%\config\system
set LOGS=%KIT%logs
set PEERS=%KIT%peers
if not exist "%TOP%\zur.exe" (
  echo commission: %TOP%\zur.exe is missing: unpack the whole archive.
  exit /b 2
)

rem A fresh start: no routes, locks or journal of an earlier run.
if not exist "%LOGS%" mkdir "%LOGS%"
for %%f in ("%CFG%\DEV_201.DAT" "%CFG%\DEV_201.LCK" "%CFG%\DEV_201.LOG" "%CFG%\DEV_201.LOG.1" "%LOGS%\*.log") do if exist "%%~f" del "%%~f"

echo Commissioning kit: the stand-in RVX (rvxsim) and InfoDrivers 202, 203, 204 (infosim),
echo then zur.exe 201 with CC_ROOT=%CC_ROOT% CC_SYSTEM=%CC_SYSTEM%.
echo Each line: who, ^<- received / -^> sent, message number and meaning, values and text.
echo.
start "InfoDriver 202" /b "%KIT%infosim.exe" 202 --slots "%PEERS%\sources.txt" --log "%LOGS%\info202.log" -e "wait-attach 60" -e "wait-closed 120" -e "quit"
start "InfoDriver 203" /b "%KIT%infosim.exe" 203 --slots "%PEERS%\destinations.txt" --log "%LOGS%\info203.log" -e "wait-attach 60" -e "wait-closed 120" -e "quit"
start "InfoDriver 204" /b "%KIT%infosim.exe" 204 --slots "%PEERS%\levelmap.txt" --log "%LOGS%\info204.log" --hide 2727,2731 -e "wait-attach 60" -e "wait-closed 120" -e "quit"
start "RVX" /b "%KIT%rvxsim.exe" --names "%PEERS%\names.txt" --script "%PEERS%\demo.rvx" --log "%LOGS%\rvx.log"

rem The driver looks for its peers only while it starts: give them time to
rem open their windows (KIT_START_SECONDS, 10 by default; more on a slow
rem machine). Their logs cannot be read while they run.
if not defined KIT_START_SECONDS set KIT_START_SECONDS=10
set /a PINGS=KIT_START_SECONDS+1
ping -n %PINGS% 127.0.0.1 >nul 2>&1

:driver
rem In a batch file the driver runs in the foreground: it ends with the
rem example's close request.
"%TOP%\zur.exe" 201

rem The example ends with the close request; rvxsim writes its exit code last
rem and closes its log, which can be read from then on.
set /a TRIES=0
:example
set /a TRIES=TRIES+1
find "RVX ** exit code=" "%LOGS%\rvx.log" >nul 2>&1
if not errorlevel 1 goto done
if %TRIES% GEQ 180 (
  echo commission: the worked example did not end within three minutes: see %LOGS%\rvx.log.
  exit /b 1
)
ping -n 2 127.0.0.1 >nul 2>&1
goto example

:done
rem The InfoDrivers end once the driver has gone.
ping -n 3 127.0.0.1 >nul 2>&1
echo.
find "RVX ** exit code=0" "%LOGS%\rvx.log" >nul 2>&1
if errorlevel 1 goto failed
find "RVX !! " "%LOGS%\rvx.log" >nul 2>&1
if not errorlevel 1 goto failed
echo The routes and locks the driver wrote (zurdb):
"%TOP%\zurdb.exe" show 201 --routed --names "%PEERS%\names.txt"
echo.
echo The profile as the driver left it (zurcheck):
"%TOP%\zurcheck.exe" 201
echo.
echo COMMISSIONING EXAMPLE PASSED: every step of the worked example got its answer.
exit /b 0

:failed
echo COMMISSIONING EXAMPLE FAILED: see the "!!" line above and %LOGS%\rvx.log.
exit /b 1

