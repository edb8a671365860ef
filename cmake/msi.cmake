# Run by CPack's External generator in the win32 build, once it has staged the install in
# CPACK_TEMPORARY_DIRECTORY: writes the Windows installer beside the .zip. wixl builds it from
# packaging/rgb565-tools.wxs (made from the program table by cmake/packaging.cmake); then msibuild
# adds what wixl 0.101 cannot write: the Environment table that puts the folder of rgb565.exe at
# the end of the system PATH on install and takes it off on uninstall, and the two actions that
# apply that table, in their standard places in the install sequence.
set(build ${CPACK_TOOL_BINARY_DIR})
set(work ${CPACK_TOPLEVEL_DIRECTORY}/msi)
set(msi ${work}/${CPACK_PACKAGE_FILE_NAME}.msi)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
# wixl finds a file only by a path below the folder it runs in: there, `packaging` is the build's
# (the icons) and `stage` the staged install.
file(CREATE_LINK ${build}/packaging ${work}/packaging SYMBOLIC)
file(CREATE_LINK ${CPACK_TEMPORARY_DIRECTORY} ${work}/stage SYMBOLIC)

execute_process(COMMAND ${CPACK_TOOL_WIXL} --arch ${CPACK_TOOL_MSI_ARCH} --define Stage=stage --output ${msi}
                        ${build}/packaging/rgb565-tools.wxs
                WORKING_DIRECTORY ${work} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "msi: wixl could not build ${msi}")
endif()

file(STRINGS ${build}/packaging/msi-path-component.txt component)
# PATH: created if missing (=), removed on uninstall (-), the system's (*); the value appended ([~];).
file(WRITE ${work}/Environment.idt "Environment\tName\tValue\tComponent_\ns72\tl255\tL255\ts72\nEnvironment\tEnvironment\n"
                                   "PathEntry\t=-*PATH\t[~];[BINDIR]\t${component}\n")
set(sequence "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES")
execute_process(COMMAND ${CPACK_TOOL_MSIBUILD} ${msi} -i ${work}/Environment.idt
                        -q "${sequence} ('RemoveEnvironmentStrings', 3300)"
                        -q "${sequence} ('WriteEnvironmentStrings', 5200)"
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "msi: msibuild could not add the PATH entry to ${msi}")
endif()
set(CPACK_EXTERNAL_BUILT_PACKAGES ${msi})
