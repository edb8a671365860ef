# Installing and packaging: `cmake --install` lays the programs out as a desktop system expects them
# (GNUInstallDirs), and CPack turns that into a .deb on Linux and a .zip on Windows. Each program
# joins through tool_package_program(); the files shared by the suite are installed here. What
# packaging says of each program (caption, description, desktop entry fields) comes from the
# program table, programs/programs.cmake, and the version from project() in CMakeLists.txt.
include(GNUInstallDirs)

set(TOOL_PACKAGE rgb565-tools)
set(TOOL_PRODUCT "RGB565 Tools")
set(TOOL_VENDOR "The Maintainers")
set(TOOL_MAINTAINER "The Maintainers <maintainers@example.org>")
# No homepage field in the packages: the suite has no public site yet, and a placeholder would send
# users nowhere. (The About text's lines are the dialogs' own, programs/programs.h.)
set(TOOL_SUMMARY "Convert pictures to raw RGB565 images and back")
set(TOOL_APPSTREAM_ID org.example.rgb565_tools)

# The version in the forms the packaging files take: 1.0.0 (packages, metainfo, manual pages, Debian
# changelog) and 1.0.0.0 and 1,0,0,0 (Windows version information).
set(tool_version ${PROJECT_VERSION})
set(tool_version_dots ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
string(REPLACE "." "," tool_version_commas ${tool_version_dots})
# The manual pages' date: the time packaging builds from (SOURCE_DATE_EPOCH, which scripts/package.sh
# sets to the last commit's), else the last commit's, so that a page's date moves with what it
# documents and two builds of one commit make the same page; a tree without history takes a fixed
# date. string(TIMESTAMP) reads SOURCE_DATE_EPOCH itself, so the commit's time is passed through it.
set(tool_man_date 1970-01-01)
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  string(TIMESTAMP tool_man_date "%Y-%m-%d" UTC)
else()
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE git_result ERROR_QUIET)
    if(git_result EQUAL 0 AND commit_time MATCHES "^[0-9]+$")
      set(ENV{SOURCE_DATE_EPOCH} ${commit_time})
      string(TIMESTAMP tool_man_date "%Y-%m-%d" UTC)
      unset(ENV{SOURCE_DATE_EPOCH})
    endif()
  endif()
endif()
# For scripts/check-packages.sh, which checks the packages' names and the programs' answers by it.
file(WRITE ${CMAKE_BINARY_DIR}/packaging/version.txt "${PROJECT_VERSION}\n")

set(tool_packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
set(tool_package_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${TOOL_PACKAGE})

# The CMake package that firmware builds find rgb565 through: find_package(rgb565) gives the
# imported program and rgb565_add_images(). Found from where it lies, so DESTDIR installs and
# unpacked archives work as well as /usr. It names a program only, so a build of any word size finds
# it (ARCH_INDEPENDENT): a 32-bit Windows project runs the 64-bit rgb565.exe all the same.
include(CMakePackageConfigHelpers)
set(TOOL_CMAKE_PACKAGE_DIR lib/cmake/rgb565)
set(TOOL_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
configure_package_config_file(${tool_packaging_dir}/cmake/rgb565-config.cmake.in
  ${CMAKE_BINARY_DIR}/packaging/rgb565-config.cmake INSTALL_DESTINATION ${TOOL_CMAKE_PACKAGE_DIR}
  PATH_VARS TOOL_INSTALL_BINDIR NO_SET_AND_CHECK_MACRO)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/packaging/rgb565-config-version.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES ${CMAKE_BINARY_DIR}/packaging/rgb565-config.cmake ${CMAKE_BINARY_DIR}/packaging/rgb565-config-version.cmake
        DESTINATION ${TOOL_CMAKE_PACKAGE_DIR})

# The copyright line is the licence's own, so that the two cannot drift apart.
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE tool_copyright REGEX "^Copyright ")
list(GET tool_copyright 0 tool_copyright)

if(WIN32)
  # The Windows packages' names and the installer's platform follow the build's architecture. The
  # installer is made for the 64-bit build only: 64-bit Windows is what installs today, and the
  # 32-bit programs, which these machines cannot run to check an install, ship in their .zip.
  # The manifest names the architecture of the program and of the Common Controls it asks for.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(tool_windows_system win64)
    set(tool_manifest_arch amd64)
    set(tool_msi_arch x64)
    set(tool_msi_program_files ProgramFiles64Folder)
    set(tool_msi_win64 yes)
  else()
    set(tool_windows_system win32)
    set(tool_manifest_arch x86)
  endif()
  # The .ico files are made from the SVG icons at build time.
  find_program(TOOL_RSVG_CONVERT rsvg-convert)
  find_program(TOOL_ICOTOOL icotool)
  if(NOT TOOL_RSVG_CONVERT OR NOT TOOL_ICOTOOL)
    message(FATAL_ERROR "rsvg-convert or icotool was not found: the programs' icons are made with them. "
                        "Run scripts/install-deps.sh (it installs librsvg2-bin and icoutils) and configure again.")
  endif()
  # Reads the resources around the dialog back out of a finished .exe (see resources_test.cpp).
  add_executable(package_resources_test ${tool_packaging_dir}/win32/resources_test.cpp)
  # `version`: Windows' version.lib. The version it expects is project()'s (tool_test_version).
  target_link_libraries(package_resources_test PRIVATE GTest::gtest version)
  target_include_directories(package_resources_test PRIVATE ${PROJECT_SOURCE_DIR})
  tool_test_version(package_resources_test)
  # The archive is for people who use the programs: a user guide in place of the developers'
  # README. console/CMakeLists.txt makes it from its template and rgb565's option table.
  install(FILES ${CMAKE_BINARY_DIR}/packaging/USER-GUIDE.txt ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
  # The installer is written by wixl and completed with msibuild (cmake/msi.cmake).
  if(tool_msi_arch)
    find_program(TOOL_WIXL wixl)
    find_program(TOOL_MSIBUILD msibuild)
    if(NOT TOOL_WIXL OR NOT TOOL_MSIBUILD)
      message(FATAL_ERROR "wixl or msibuild was not found: the Windows installer is made with them. "
                          "Run scripts/install-deps.sh (it installs wixl and msitools) and configure again.")
    endif()
  endif()
else()
  find_program(TOOL_GZIP gzip REQUIRED)
  # Debian's documentation: the licence in the machine-readable copyright format, and the changelog.
  # The licence's terms, from its permission notice on, indented as the format wants them.
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE tool_license_text)
  string(FIND "${tool_license_text}" "Permission is hereby granted" terms)
  string(SUBSTRING "${tool_license_text}" ${terms} -1 tool_license_text)
  string(STRIP "${tool_license_text}" tool_license_text)
  string(REPLACE "\n\n" "\n.\n" tool_license_text "${tool_license_text}")
  string(REPLACE "\n" "\n " tool_license_text " ${tool_license_text}")
  string(REGEX REPLACE "^Copyright \\(c\\) " "" tool_copyright_holders "${tool_copyright}")
  set(tool_package ${TOOL_PACKAGE})
  set(tool_maintainer ${TOOL_MAINTAINER})
  configure_file(${tool_packaging_dir}/debian/copyright.in ${CMAKE_BINARY_DIR}/packaging/copyright @ONLY)
  # The changelog's newest entry names project()'s version; an older entry keeps its own, written out.
  configure_file(${tool_packaging_dir}/debian/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
  # The dialogs' shared manual page: its names, synopsis and list of the programs from the table.
  set(tool_man_names)
  set(tool_man_synopsis)
  set(tool_man_programs)
  foreach(key IN LISTS TOOL_DIALOG_KEYS)
    list(APPEND tool_man_names ${key})
    list(APPEND tool_man_synopsis ".B ${key}")
    string(APPEND tool_man_programs ".TP\n.B ${key}\n${TOOL_PROGRAM_${key}_DESCRIPTION}.\n")
  endforeach()
  list(JOIN tool_man_names ", " tool_man_names)
  list(JOIN tool_man_synopsis "\n.br\n" tool_man_synopsis)
  string(REGEX REPLACE "\n$" "" tool_man_programs "${tool_man_programs}")
  configure_file(${tool_packaging_dir}/man/rgb565-tools.1.in ${CMAKE_BINARY_DIR}/packaging/man/rgb565-tools.1 @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/copyright ${PROJECT_SOURCE_DIR}/README.md
                ${PROJECT_SOURCE_DIR}/CHANGELOG.md DESTINATION ${tool_package_docdir})
  # The README is a guide whose links lead into docs/ and the changelog: they go beside it.
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${tool_package_docdir}/docs FILES_MATCHING PATTERN "*.md")
  # Manual pages and the changelog go in gzip -9n form, as Debian wants them: no name or time
  # stamp in the header, so that the package is the same from one build to the next.
  function(tool_gzip source output)
    add_custom_command(OUTPUT ${output} COMMAND ${TOOL_GZIP} -9nc ${source} > ${output} DEPENDS ${source} VERBATIM)
  endfunction()
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging/man)
  tool_gzip(${CMAKE_BINARY_DIR}/packaging/changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
  tool_gzip(${CMAKE_BINARY_DIR}/packaging/man/rgb565-tools.1 ${CMAKE_BINARY_DIR}/packaging/man/rgb565-tools.1.gz)
  add_custom_target(tool_package_docs ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz
                                                  ${CMAKE_BINARY_DIR}/packaging/man/rgb565-tools.1.gz)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION ${tool_package_docdir})
  install(FILES ${CMAKE_BINARY_DIR}/packaging/man/rgb565-tools.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# tool_package_program(target key [MAN_PAGE page]): installs one program and gives it what a
# desktop program has around it: on Linux its desktop entry, icon and manual page; on Windows its
# version information, icon and manifest as resources of the .exe, and a test that reads them back
# out of it. `key` names its row of the program table and its files in packaging/. A dialog gets a
# desktop entry, an icon in the menu and the dialogs' manual page; a console program gets a manual
# page of its own: MAN_PAGE, a page the build makes, or else packaging/man/KEY.1.in.
function(tool_package_program target key)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "MAN_PAGE" "")
  set(kind ${TOOL_PROGRAM_${key}_KIND})
  if(NOT kind)
    message(FATAL_ERROR "tool_package_program: no row for ${key} in programs/programs.cmake")
  endif()
  set(tool_caption ${TOOL_PROGRAM_${key}_CAPTION})
  set(tool_comment ${TOOL_PROGRAM_${key}_DESCRIPTION})
  set(tool_key ${key})
  set_property(GLOBAL APPEND PROPERTY tool_packaged_programs "${key}:${kind}")
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  set(out ${CMAKE_BINARY_DIR}/packaging)
  if(WIN32)
    set(tool_icon_file ${out}/${key}.ico)
    set(tool_manifest_file ${out}/${key}.manifest)
    set(tool_vendor ${TOOL_VENDOR})
    set(tool_product ${TOOL_PRODUCT})
    set(tool_copyright "${tool_copyright}, MIT License")
    configure_file(${tool_packaging_dir}/win32/program.manifest.in ${tool_manifest_file} @ONLY)
    configure_file(${tool_packaging_dir}/win32/program.rc.in ${out}/${key}.rc @ONLY)
    # The icon from the program's SVG: the sizes Windows shows in lists, menus and Explorer as
    # classic images, which every version reads, and 256 px as PNG, which Vista and later read.
    set(svg ${tool_packaging_dir}/icons/${key}.svg)
    set(pngs)
    foreach(size IN ITEMS 16 24 32 48 256)
      add_custom_command(OUTPUT ${out}/${key}-${size}.png
        COMMAND ${TOOL_RSVG_CONVERT} -w ${size} -h ${size} -o ${out}/${key}-${size}.png ${svg} DEPENDS ${svg} VERBATIM)
      list(APPEND pngs ${out}/${key}-${size}.png)
    endforeach()
    list(POP_BACK pngs png256)
    add_custom_command(OUTPUT ${tool_icon_file}
      COMMAND ${TOOL_ICOTOOL} -c -o ${tool_icon_file} ${pngs} -r ${png256} DEPENDS ${pngs} ${png256} VERBATIM)
    target_sources(${target} PRIVATE ${out}/${key}.rc)
    set_source_files_properties(${out}/${key}.rc PROPERTIES OBJECT_DEPENDS "${tool_icon_file};${tool_manifest_file}")

    # A dialog's resource 100 must be the same bytes as in its template test, which holds that
    # one against the template description.
    set(reference)
    if(kind STREQUAL dialog)
      set(reference $<TARGET_FILE:dialog_win32_template_${key}>)
    endif()
    add_test(NAME ${key}_resources COMMAND package_resources_test $<TARGET_FILE:${target}> ${tool_icon_file} ${reference})
  else()
    if(kind STREQUAL dialog)
      set(tool_generic_name ${TOOL_PROGRAM_${key}_GENERIC_NAME})
      # Desktop entries end each item of a list with a semicolon.
      list(JOIN TOOL_PROGRAM_${key}_CATEGORIES ";" tool_categories)
      list(JOIN TOOL_PROGRAM_${key}_KEYWORDS ";" tool_keywords)
      configure_file(${tool_packaging_dir}/desktop/program.desktop.in ${out}/${key}.desktop @ONLY)
      install(FILES ${out}/${key}.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
      install(FILES ${tool_packaging_dir}/icons/${key}.svg DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
      # `man KEY` finds the dialogs' shared page through a link of the program's name.
      file(CREATE_LINK rgb565-tools.1.gz ${out}/man/${key}.1.gz SYMBOLIC)
      install(FILES ${out}/man/${key}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    else()
      set(page ${out}/man/${key}.1)
      if(arg_MAN_PAGE)
        set(page ${arg_MAN_PAGE})
      else()
        configure_file(${tool_packaging_dir}/man/${key}.1.in ${page} @ONLY)
      endif()
      tool_gzip(${page} ${out}/man/${key}.1.gz)
      add_custom_target(${key}_man_page ALL DEPENDS ${out}/man/${key}.1.gz)
      install(FILES ${out}/man/${key}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
  endif()
endfunction()

# tool_msi_source(programs): the installer's source, packaging/rgb565-tools.wxs in the build folder,
# from its template: a component for each packaged program ("key:kind"), a Start-menu shortcut with
# its icon for each dialog; and for cmake/msi.cmake the component of the program whose folder goes
# on PATH, the first console program.
function(tool_msi_source programs)
  set(tool_msi_icons)
  set(tool_msi_programs)
  set(tool_msi_component_refs)
  set(path_component)
  foreach(program IN LISTS programs)
    string(REPLACE ":" ";" pair ${program})
    list(GET pair 0 key)
    list(GET pair 1 kind)
    set(caption ${TOOL_PROGRAM_${key}_CAPTION})
    set(component "program_${key}")
    string(APPEND tool_msi_programs "            <Component Id=\"${component}\" Guid=\"*\" Win64=\"${tool_msi_win64}\">\n"
      "              <File Id=\"${key}.exe\" Name=\"${key}.exe\" Source=\"$(var.Stage)/${CMAKE_INSTALL_BINDIR}/${key}.exe\" KeyPath=\"yes\"/>\n")
    if(kind STREQUAL dialog)
      # The Icon table keeps its own copy of each icon: Windows shows it on the shortcut.
      string(APPEND tool_msi_icons "    <Icon Id=\"${key}.ico\" SourceFile=\"packaging/${key}.ico\"/>\n")
      string(APPEND tool_msi_programs
        "              <Shortcut Id=\"${key}_menu\" Directory=\"MenuFolder\" Name=\"${caption}\" Description=\"${TOOL_PROGRAM_${key}_DESCRIPTION}\"\n"
        "                        Target=\"[#${key}.exe]\" Icon=\"${key}.ico\" IconIndex=\"0\" WorkingDirectory=\"PersonalFolder\"/>\n")
    elseif(NOT path_component)
      set(path_component ${component})
      set(tool_msi_product_icon ${key}.ico)
      string(APPEND tool_msi_icons "    <Icon Id=\"${key}.ico\" SourceFile=\"packaging/${key}.ico\"/>\n")
    endif()
    string(APPEND tool_msi_programs "            </Component>\n")
    string(APPEND tool_msi_component_refs "      <ComponentRef Id=\"${component}\"/>\n")
  endforeach()
  foreach(text IN ITEMS tool_msi_icons tool_msi_programs tool_msi_component_refs)
    string(REGEX REPLACE "\n$" "" ${text} "${${text}}")
  endforeach()
  set(tool_product ${TOOL_PRODUCT})
  set(tool_vendor ${TOOL_VENDOR})
  set(tool_summary ${TOOL_SUMMARY})
  configure_file(${tool_packaging_dir}/win32/rgb565-tools.wxs.in ${CMAKE_BINARY_DIR}/packaging/rgb565-tools.wxs @ONLY)
  file(WRITE ${CMAKE_BINARY_DIR}/packaging/msi-path-component.txt "${path_component}\n")
endfunction()

# Once every program has joined: the list of packaged programs for scripts/check-packages.sh, and
# on Linux the suite's AppStream metainfo, which names every program's desktop entry and command.
function(tool_package_finish)
  get_property(packaged GLOBAL PROPERTY tool_packaged_programs)
  # In the table's order, which is the order the manual page and the package description use.
  set(programs)
  foreach(key IN LISTS TOOL_DIALOG_KEYS TOOL_CONSOLE_KEYS)
    if("${key}:${TOOL_PROGRAM_${key}_KIND}" IN_LIST packaged)
      list(APPEND programs "${key}:${TOOL_PROGRAM_${key}_KIND}")
    endif()
  endforeach()
  list(JOIN programs "\n" lines)
  file(WRITE ${CMAKE_BINARY_DIR}/packaging/programs.txt "${lines}\n")
  if(WIN32)
    if(tool_msi_arch)
      tool_msi_source("${programs}")
    endif()
    return()
  endif()
  set(tool_appstream_programs)
  set(tool_appstream_launchables)
  set(tool_appstream_binaries)
  set(categories)
  foreach(program IN LISTS programs)
    string(REPLACE ":" ";" pair ${program})
    list(GET pair 0 key)
    list(GET pair 1 kind)
    set(caption ${TOOL_PROGRAM_${key}_CAPTION})
    set(comment ${TOOL_PROGRAM_${key}_DESCRIPTION})
    list(APPEND categories ${TOOL_PROGRAM_${key}_CATEGORIES})
    string(APPEND tool_appstream_programs "      <li>${caption}: ${comment}.</li>\n")
    string(APPEND tool_appstream_binaries "    <binary>${key}</binary>\n")
    if(kind STREQUAL dialog)
      string(APPEND tool_appstream_launchables "  <launchable type=\"desktop-id\">${key}.desktop</launchable>\n")
    endif()
  endforeach()
  # The suite's categories: every category of a program's desktop entry.
  list(REMOVE_DUPLICATES categories)
  set(tool_appstream_categories)
  foreach(category IN LISTS categories)
    string(APPEND tool_appstream_categories "    <category>${category}</category>\n")
  endforeach()
  foreach(text IN ITEMS tool_appstream_programs tool_appstream_launchables tool_appstream_binaries
                        tool_appstream_categories)
    string(REGEX REPLACE "\n$" "" ${text} "${${text}}")
  endforeach()
  set(tool_appstream_id ${TOOL_APPSTREAM_ID})
  set(tool_summary ${TOOL_SUMMARY})
  set(tool_product ${TOOL_PRODUCT})
  set(tool_vendor ${TOOL_VENDOR})
  set(metainfo ${CMAKE_BINARY_DIR}/packaging/${TOOL_APPSTREAM_ID}.metainfo.xml)
  configure_file(${tool_packaging_dir}/metainfo.xml.in ${metainfo} @ONLY)
  install(FILES ${metainfo} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL tool_package_finish)

set(CPACK_PACKAGE_NAME ${TOOL_PACKAGE})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR ${TOOL_VENDOR})
set(CPACK_PACKAGE_CONTACT ${TOOL_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${TOOL_SUMMARY})
# tool_wrap(out text first_prefix next_prefix): text in lines of at most 78 characters, each
# after its prefix, the first line after first_prefix and the others after next_prefix.
function(tool_wrap out text first_prefix next_prefix)
  string(REGEX REPLACE "[ \n]+" ";" words "${text}")
  set(lines)
  set(line)
  set(prefix "${first_prefix}")
  foreach(word IN LISTS words)
    string(LENGTH "${prefix}${line} ${word}" length)
    if(NOT "${line}" STREQUAL "" AND length GREATER 78)
      string(APPEND lines "${prefix}${line}\n")
      set(prefix "${next_prefix}")
      set(line "${word}")
    elseif(NOT "${line}" STREQUAL "")
      string(APPEND line " ${word}")
    else()
      set(line "${word}")
    endif()
  endforeach()
  set(${out} "${lines}${prefix}${line}" PARENT_SCOPE)
endfunction()
# The package's description under its synopsis: what the suite does, a list of its programs from
# the table, each indented so that Debian shows it as it stands, and what rgb565 adds.
tool_wrap(description_intro "Small tools that move pictures between BMP files and raw 16-bit RGB565
  data, as used for small LCD panels and firmware, and subtract one file from another:" "" "")
set(description_programs)
foreach(key IN LISTS TOOL_DIALOG_KEYS TOOL_CONSOLE_KEYS)
  tool_wrap(line "${TOOL_PROGRAM_${key}_CAPTION}: ${TOOL_PROGRAM_${key}_DESCRIPTION}" " * " "   ")
  string(APPEND description_programs "${line}\n")
endforeach()
tool_wrap(description_outro "Each dialog has two paths, a status line, Generate and About. rgb565
  runs the same conversions from scripts and batches, with the byte order, channel order, row
  order, frame size, dithering and C source output that panels and firmware ask for, and reads PNG,
  JPEG and GIF pictures too." "" "")
# CPack writes an empty line as Debian's " ." between paragraphs.
set(CPACK_PACKAGE_DESCRIPTION "${description_intro}\n${description_programs}\n${description_outro}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)
if(WIN32)
  # The .zip, and the .msi through the External generator, which stages the install (stripped, as
  # for the .zip) and hands it to cmake/msi.cmake.
  set(CPACK_SYSTEM_NAME ${tool_windows_system})
  if(tool_msi_arch)
    set(CPACK_GENERATOR ZIP External)
    set(CPACK_EXTERNAL_ENABLE_STAGING ON)
    set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${PROJECT_SOURCE_DIR}/cmake/msi.cmake)
    set(CPACK_TOOL_BINARY_DIR ${CMAKE_BINARY_DIR})
    set(CPACK_TOOL_WIXL ${TOOL_WIXL})
    set(CPACK_TOOL_MSIBUILD ${TOOL_MSIBUILD})
    set(CPACK_TOOL_MSI_ARCH ${tool_msi_arch})
  else()
    set(CPACK_GENERATOR ZIP)
  endif()
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TOOL_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Qt's TIFF reader is a plugin that no library links against, so the shared-library scan cannot find
  # it; the scan's own list is added after this one.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-image-formats-plugins")
endif()
include(CPack)
