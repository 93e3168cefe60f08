# The libraries' folders, bottom first. A folder may include from and link
# to the folders before it, never one after it.
set(TOVARIN_LAYERS common skin app telemetry archive core ui startup uninstall)
# The first layer that may include the build's generated headers (version.h,
# build_config.h, library_hash.h: quoted, without a folder). Below it, the
# skin toolkit and its floor stand on common/ and nothing else.
set(TOVARIN_GENERATED_FROM app)
