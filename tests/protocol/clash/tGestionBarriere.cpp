// Never compiled: configuring the folder stops first.
