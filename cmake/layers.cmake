# The libraries' folders, bottom first. A folder may include from and link
# to the folders before it, never one after it.
set(TOVARIN_LAYERS common app telemetry archive core ui startup)
