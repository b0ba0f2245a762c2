@echo off
rem kelmor-create-plugin NAME [DIRECTORY]: writes a new plugin project into
rem DIRECTORY (.\NAME by default); kelmor-create-plugin.cmake beside this
rem file does the work. When it refuses, one line on the standard error
rem stream and exit code 2.
setlocal
set "refusal=%TEMP%\kelmor-create-plugin-%RANDOM%%RANDOM%.txt"
if exist "%refusal%" del "%refusal%"
cmake "-DKELMOR_REFUSAL_FILE=%refusal%" -P "%~dp0kelmor-create-plugin.cmake" -- %*
set status=%ERRORLEVEL%
if exist "%refusal%" (
  type "%refusal%" 1>&2
  del "%refusal%"
  exit /b 2
)
exit /b %status%
