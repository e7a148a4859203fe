; The GUI's windows opened, then the session macro.
wregister
wmemory x $80
session.cmd
