// Placeholder: still to be written.
