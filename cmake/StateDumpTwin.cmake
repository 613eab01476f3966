# A twin of the shipped installer for the end-to-end tests that read the
# run-state dump: the same libraries, flags and link as Install.exe, with
# the dump in place of its no-op. The dump's object comes ahead of the app
# library, so the archive's no-op member is never pulled in, and the shipped
# Install.exe itself stays without the dump.
add_library(zandor_state_dump OBJECT src/app/state_dump.cpp)
target_link_libraries(zandor_state_dump PUBLIC zandor_app)
target_compile_options(zandor_state_dump PRIVATE ${ZANDOR_INSTALLER_FLAGS})
add_executable(InstallDump WIN32 src/platform/entry_win.cpp src/platform/cxxrt_win.cpp src/platform/installer.rc)
target_compile_options(InstallDump PRIVATE -Os -fno-exceptions -fno-rtti -fno-threadsafe-statics
    -fno-asynchronous-unwind-tables)
target_link_libraries(InstallDump PRIVATE zandor_state_dump zandor_app)
target_link_options(InstallDump PRIVATE -static -s -Wl,--gc-sections -Wl,--as-needed -Wl,--no-insert-timestamp)
set_target_properties(InstallDump PROPERTIES OUTPUT_NAME "Install-dump")
