local s = string.rep("a", 4000)
print(s:find("a*a*a*a*b"))
