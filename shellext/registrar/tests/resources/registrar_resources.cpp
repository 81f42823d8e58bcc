// registrar_resources.dll carries registry scripts for registrar_wine_test and no code of its own.
