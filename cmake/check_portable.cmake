# Fails the build when a portable source includes a Windows or Direct3D header.
# Called with -DFILES=<|-separated list> -DSTAMP=<file>.
string(REPLACE "|" ";" files "${FILES}")
foreach(f IN LISTS files)
  file(STRINGS "${f}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](windows|d3d9|d3d9types|d3d9caps|winreg|wingdi|winuser|mmsystem|commctrl|commdlg|shellapi)\\.h[>\"]")
  if(hits)
    message(FATAL_ERROR "portable core file includes a platform header: ${f}: ${hits}")
  endif()
endforeach()
file(TOUCH "${STAMP}")
