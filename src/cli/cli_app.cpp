// The command-line program; see cli_app.h.
