// Placeholder so the library has a source until the subsystem lands.
