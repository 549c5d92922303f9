// Placeholder: the Windows build's file, still to be written.
