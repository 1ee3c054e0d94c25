# The fuzz targets: one entry point (fuzz/<name>.cpp, LLVMFuzzerTestOneInput) each, its seeds in
# fuzz/corpus/<name>/, and the kit libraries it reads through. Included by fuzz/CMakeLists.txt,
# which builds them for libFuzzer, and by tests/fuzz/CMakeLists.txt, which runs each over its
# seeds in the normal test build; each defines zyr_fuzz_target() for its purpose.
zyr_fuzz_target(media_control_settings LIBS zyr_media_widgets)
zyr_fuzz_target(persisted_block LIBS zyr_media_widgets)
zyr_fuzz_target(file_dialog_block LIBS zyr_media_widgets)
zyr_fuzz_target(file_filter LIBS zyr_media_widgets)
zyr_fuzz_target(midi_file_reader LIBS zyr_media_devices)
zyr_fuzz_target(media_control_script LIBS zyr_media_widgets)
zyr_fuzz_target(cd_audio_source LIBS zyr_media_devices)
zyr_fuzz_target(cue_image LIBS zyr_media_devices)
