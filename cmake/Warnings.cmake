add_compile_options(-Wall -Wextra)
if(GALLERIA_WERROR)
  add_compile_options(-Werror)
endif()
