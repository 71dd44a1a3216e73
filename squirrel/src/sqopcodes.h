// Instruction set of the register machine. Every instruction is
// {op, a, b, c, d}: a/b/c are 8-bit register numbers or small operands,
// d a 32-bit operand (constant index, immediate or relative jump).
#pragma once

#define SQ_OPCODES(X)                                                                 \
  X(LOADK)       /* R[a] = K[d] */                                                     \
  X(LOADINT)     /* R[a] = d */                                                        \
  X(LOADFLOAT)   /* R[a] = float bits d */                                             \
  X(LOADNULL)    /* R[a .. a+b-1] = null */                                            \
  X(LOADBOOL)    /* R[a] = b != 0 */                                                   \
  X(LOADROOT)    /* R[a] = root table */                                               \
  X(MOVE)        /* R[a] = R[b] */                                                     \
  X(GETOUTER)    /* R[a] = outer d */                                                  \
  X(SETOUTER)    /* outer d = R[a] */                                                  \
  X(GET)         /* R[a] = R[b][R[c]] */                                               \
  X(GETK)        /* R[a] = R[b][K[d]] */                                               \
  X(GETGLOBAL)   /* R[a] = this[K[d]], then the root table */                          \
  X(SET)         /* R[b][R[c]] = R[a] */                                               \
  X(SETK)        /* R[b][K[d]] = R[a] */                                               \
  X(SETGLOBAL)   /* this[K[d]] = R[a], then the root table */                          \
  X(NEWSLOT)     /* R[b][R[c]] <- R[a] */                                              \
  X(NEWMEMBER)   /* class R[b][R[c]] <- R[a]; d: bit0 static, bit1 attrs in R[d>>8] */ \
  X(DELETE)      /* R[a] = delete R[b][R[c]] */                                        \
  X(ADD) X(SUB) X(MUL) X(DIV) X(MOD)                                                   \
  X(ARITHI)      /* R[a] = R[b] (op c) d */                                            \
  X(BINK)        /* R[a] = R[b] (binary opcode c) d */                                 \
  X(CMPI)        /* R[a] = R[b] (comparison c) d */                                    \
  X(JCMPI)       /* if !(R[a] (comparison c) (int8)b) jump d */                        \
  X(BAND) X(BOR) X(BXOR) X(SHL) X(SHR) X(USHR)                                         \
  X(EQ) X(NE) X(LT) X(LE) X(GT) X(GE) X(CMP3)                                          \
  X(JCMP)        /* if !(R[a] (op c) R[b]) jump d */                                   \
  X(NOT) X(NEG) X(BNOT) X(TYPEOF) X(CLONE)                                             \
  X(IN)          /* R[a] = R[b] in R[c] */                                             \
  X(INSTANCEOF)  /* R[a] = R[b] instanceof R[c] */                                     \
  X(JMP)         /* pc += d */                                                         \
  X(JZ)          /* if !R[a] pc += d */                                                \
  X(JNZ)         /* if R[a] pc += d */                                                 \
  X(CALL)        /* R[a] = R[a](R[a+1] .. R[a+b]) */                                   \
  X(TAILCALL)                                                                          \
  X(RETURN)      /* return b ? R[a] : null */                                          \
  X(CLOSURE)     /* R[a] = closure of function d, defaults from R[b] */                \
  X(NEWTABLE)    /* R[a] = {} */                                                       \
  X(NEWARRAY)    /* R[a] = [] sized d */                                               \
  X(APPEND)      /* R[a].append(R[b]) */                                               \
  X(NEWCLASS)    /* R[a] = class, base R[b] (255 none), attributes R[c] (255 none) */  \
  X(FOREACH)     /* container R[a], key R[a+1], value R[a+2], state R[a+3]; d exit */  \
  X(PUSHTRAP)    /* handler pc += d, error into R[a] */                                \
  X(POPTRAP)     /* pop b traps */                                                     \
  X(THROW)                                                                             \
  X(YIELD)       /* yield b ? R[a] : null; resumes with null in R[a] */                \
  X(RESUME)      /* R[a] = resume R[b] */                                              \
  X(GETBASE)     /* R[a] = base class of the running method */                         \
  X(CLOSE)       /* close outers from R[a] up */

enum SQOpcode {
#define SQ_OPENUM(n) OP_##n,
  SQ_OPCODES(SQ_OPENUM)
#undef SQ_OPENUM
      OP_COUNT
};

// Comparison codes for JCMP.c
enum { CMP_EQ, CMP_NE, CMP_LT, CMP_LE, CMP_GT, CMP_GE };
// JCMP/JCMPI: this bit in c makes the jump happen when the test holds
#define CMP_INVERT 8
