# (help file build follows)
