<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt_BR">
<context>
    <name>GridWindow</name>
    <message>
        <source>ffsload: station grid</source>
        <translation>ffsload: grade da estação</translation>
    </message>
    <message>
        <source>&amp;Customer:</source>
        <translation>&amp;Cliente:</translation>
    </message>
    <message>
        <source>Sub-number:</source>
        <translation>Subnúmero:</translation>
    </message>
    <message>
        <source>Run &amp;all</source>
        <translation>Executar &amp;todos</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>Sai&amp;r</translation>
    </message>
    <message>
        <source>&amp;Operator:</source>
        <translation>&amp;Operador:</translation>
    </message>
    <message>
        <source>scan your badge or type your id, Enter</source>
        <translation>passe o crachá ou digite seu ID, Enter</translation>
    </message>
    <message>
        <source>&lt;b&gt;Port %1&lt;/b&gt;&lt;br&gt;%2</source>
        <translation>&lt;b&gt;Porta %1&lt;/b&gt;&lt;br&gt;%2</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>Executar</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Salvar</translation>
    </message>
    <message>
        <source>Y or N, or click:</source>
        <translation>Tecle Y ou N, ou clique:</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Sim (Y)</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Não (N)</translation>
    </message>
    <message>
        <source>scan the unit, or type its serial and Enter</source>
        <translation>escaneie a unidade, ou digite o número de série e Enter</translation>
    </message>
    <message>
        <source>type the customer number and press Enter</source>
        <translation>digite o número do cliente e tecle Enter</translation>
    </message>
    <message>
        <source>script %1, MA_NO &quot;%2&quot;</source>
        <translation>script %1, MA_NO &quot;%2&quot;</translation>
    </message>
    <message>
        <source>waiting for your answer</source>
        <translation>aguardando sua resposta</translation>
    </message>
    <message>
        <source>running</source>
        <translation>executando</translation>
    </message>
    <message>
        <source>elapsed %1 s</source>
        <translation>duração %1 s</translation>
    </message>
    <message>
        <source>runs %1   green %2   red %3</source>
        <translation>execuções %1   verdes %2   vermelhas %3</translation>
    </message>
    <message>
        <source>Operator: %1</source>
        <translation>Operador: %1</translation>
    </message>
    <message>
        <source>Error: %1</source>
        <translation>Erro: %1</translation>
    </message>
    <message>
        <source>log saved to %1</source>
        <translation>log salvo em %1</translation>
    </message>
    <message>
        <source>Error: cannot write the run log file %1: %2</source>
        <translation>Erro: não foi possível gravar o arquivo de log %1: %2</translation>
    </message>
    <message>
        <source>Closing: the runs under way stop after their current command (close again to end them at once)</source>
        <translation>Fechando: as execuções em andamento param após o comando atual (feche de novo para encerrá-las já)</translation>
    </message>
    <message>
        <source>Closing: the ports&apos; processes are ending</source>
        <translation>Fechando: os processos das portas estão terminando</translation>
    </message>
</context>
<context>
    <name>OperatorText</name>
    <message>
        <source>Error</source>
        <translation>Erro</translation>
    </message>
    <message>
        <source>Pending IMEI</source>
        <translation>IMEI pendente</translation>
    </message>
    <message>
        <source>Fail to open file &lt;custdefine&gt;</source>
        <translation>Não foi possível abrir o arquivo &lt;custdefine&gt;</translation>
    </message>
    <message>
        <source>Fail to open file</source>
        <translation>Não foi possível abrir o arquivo</translation>
    </message>
    <message>
        <source>Fail to open file &lt;*.tms&gt;</source>
        <translation>Não foi possível abrir o arquivo &lt;*.tms&gt;</translation>
    </message>
    <message>
        <source>Fail to write file &lt;%1&gt;: %2</source>
        <translation>Não foi possível gravar o arquivo &lt;%1&gt;: %2</translation>
    </message>
    <message>
        <source>Fail to find the customer</source>
        <translation>Cliente não encontrado</translation>
    </message>
    <message>
        <source>Fail to show the yield: %1</source>
        <translation>Não foi possível mostrar o rendimento: %1</translation>
    </message>
    <message>
        <source>The station&apos;s settings stop the panels: %1</source>
        <translation>A configuração da estação impede os painéis: %1</translation>
    </message>
    <message>
        <source>This station requires the operator&apos;s id: scan your badge or type your id</source>
        <translation>Esta estação exige o ID do operador: passe o crachá ou digite seu ID</translation>
    </message>
    <message>
        <source>This station asks for unit serials (unit-serial in %1) but the panel file has no unit field (control %2)</source>
        <translation>Esta estação pede números de série (unit-serial em %1), mas o arquivo de painéis não tem campo de unidade (controle %2)</translation>
    </message>
    <message>
        <source>Scan the unit first: this station requires its serial</source>
        <translation>Escaneie a unidade primeiro: esta estação exige o número de série</translation>
    </message>
    <message>
        <source>Refused: %1; nothing runs. Scan again.</source>
        <translation>Recusado: %1; nada é executado. Escaneie de novo.</translation>
    </message>
    <message>
        <source>unit %1</source>
        <translation>unidade %1</translation>
    </message>
    <message>
        <source>unit %1: attempt %2</source>
        <translation>unidade %1: tentativa %2</translation>
    </message>
    <message>
        <source>unit %1: attempt %2, passed before at %3 %4 UTC</source>
        <translation>unidade %1: tentativa %2, já aprovada em %3 às %4 UTC</translation>
    </message>
    <message>
        <source>unit %1: attempt unknown (the records cannot be read)</source>
        <translation>unidade %1: tentativa desconhecida (os registros não podem ser lidos)</translation>
    </message>
    <message>
        <source>Port %1 is not a port from %2 to %3: the run cannot reach a handset</source>
        <translation>A porta %1 não está entre %2 e %3: a execução não alcança o aparelho</translation>
    </message>
    <message>
        <source>Port %1: %2</source>
        <translation>Porta %1: %2</translation>
    </message>
    <message>
        <source>Port %1 cannot be opened: %2</source>
        <translation>Não foi possível abrir a porta %1: %2</translation>
    </message>
    <message>
        <source>cannot open port %1: %2</source>
        <translation>não foi possível abrir a porta %1: %2</translation>
    </message>
    <message>
        <source>port %1 is in use by another run in this station folder (%2): no run; wait for it to end</source>
        <translation>a porta %1 está em uso por outra execução nesta pasta da estação (%2): nada executado; aguarde o fim dela</translation>
    </message>
    <message>
        <source>Run log saved to %1</source>
        <translation>Log salvo em %1</translation>
    </message>
    <message>
        <source>Run log NOT saved</source>
        <translation>Log NÃO salvo</translation>
    </message>
    <message>
        <source>check the fixture on port %1: %2 red runs in a row</source>
        <translation>verifique a jiga da porta %1: %2 execuções vermelhas seguidas</translation>
    </message>
    <message>
        <source>failing line %1</source>
        <translation>linha com falha %1</translation>
    </message>
    <message>
        <source>the handset was formatted after its IMEI backup and the IMEI was not written back: it is only in the PC file %1; write it back before the handset leaves the station</source>
        <translation>o aparelho foi formatado depois do backup do IMEI e o IMEI não foi regravado: ele só está no arquivo do PC %1; regrave-o antes de o aparelho sair da estação</translation>
    </message>
    <message>
        <source>IMEI %1, pending since the run on port %2 stopped after the format, is on this handset: it had been written back</source>
        <translation>O IMEI %1, pendente desde que a execução na porta %2 parou após a formatação, está neste aparelho: ele já tinha sido regravado</translation>
    </message>
    <message>
        <source>this handset has its own IMEI; IMEI %1 of the run on port %2 that stopped after the format stays pending and waits for its handset</source>
        <translation>este aparelho tem seu próprio IMEI; o IMEI %1 da execução na porta %2 que parou após a formatação continua pendente e aguarda seu aparelho</translation>
    </message>
    <message>
        <source>IMEI %1 was pending for unit %2, which is this handset: it is this run&apos;s backup in %3, and the script&apos;s write-back gives it back</source>
        <translation>O IMEI %1 estava pendente para a unidade %2, que é este aparelho: ele é o backup desta execução em %3 e a regravação do script o devolve</translation>
    </message>
    <message>
        <source>IMEI %1 is kept aside: it is not this handset&apos;s; &quot;ffsload report --interrupted&quot; lists it</source>
        <translation>O IMEI %1 fica guardado à parte: não é deste aparelho; &quot;ffsload report --interrupted&quot; o lista</translation>
    </message>
    <message>
        <source>IMEI %1 is this run&apos;s backup in %2: the script&apos;s write-back gives it back</source>
        <translation>O IMEI %1 é o backup desta execução em %2: a regravação do script o devolve</translation>
    </message>
    <message>
        <source>IMEI %1 is pending on port %2: the run stopped after the format, before the write-back; it is kept in the run journal until its handset has it again</source>
        <translation>O IMEI %1 está pendente na porta %2: a execução parou após a formatação, antes da regravação; ele fica no diário de execuções até seu aparelho tê-lo de novo</translation>
    </message>
    <message>
        <source>the run journal cannot be written (%1): this run refuses to format the handset, so that its IMEI cannot be lost</source>
        <translation>o diário de execuções não pode ser gravado (%1): esta execução não formata o aparelho, para que o IMEI não se perca</translation>
    </message>
    <message>
        <source>%1: a pending IMEI may be hidden in it, so no IMEI read-back or format runs on this port until a line engineer has looked (&quot;ffsload pending&quot; lists it, &quot;ffsload pending --port %2 --resolve-damaged&quot; sets damaged lines aside)</source>
        <translation>%1: pode haver um IMEI pendente escondido nele, então nesta porta não há leitura de IMEI nem formatação até um engenheiro de linha verificar (&quot;ffsload pending&quot; o lista, &quot;ffsload pending --port %2 --resolve-damaged&quot; separa as linhas danificadas)</translation>
    </message>
    <message>
        <source>the run journal could not be tidied: %1</source>
        <translation>não foi possível arrumar o diário de execuções: %1</translation>
    </message>
    <message>
        <source>the run journal cannot note the run&apos;s end: %1</source>
        <translation>o diário não consegue anotar o fim da execução: %1</translation>
    </message>
    <message>
        <source>the run journal cannot note the IMEI write-back: %1</source>
        <translation>o diário não consegue anotar a regravação do IMEI: %1</translation>
    </message>
    <message>
        <source>the run journal cannot note what became of a pending IMEI: %1</source>
        <translation>o diário não consegue anotar o destino de um IMEI pendente: %1</translation>
    </message>
    <message>
        <source>records: %1</source>
        <translation>registros: %1</translation>
    </message>
    <message>
        <source>records: %1 record(s) kept in %2 are now stored with the others</source>
        <translation>registros: %1 registro(s) guardado(s) em %2 já estão com os demais</translation>
    </message>
    <message>
        <source>records: %1; this run&apos;s record is kept in %2 and sent when the records can be written again</source>
        <translation>registros: %1; o registro desta execução fica em %2 e é enviado quando for possível gravar de novo</translation>
    </message>
    <message>
        <source>records: %1 record(s) refused by the records for what they hold are set aside in %2 (ffsload report counts them): %3</source>
        <translation>registros: %1 registro(s) recusado(s) pelo conteúdo ficam à parte em %2 (ffsload report os conta): %3</translation>
    </message>
    <message>
        <source>records: neither the records nor the outbox can take this run&apos;s record: %1; %2</source>
        <translation>registros: nem os registros nem a caixa de saída aceitam o registro desta execução: %1; %2</translation>
    </message>
    <message>
        <source>records: the run journal keeps this run&apos;s outcome, unit and IMEI, and the next run on port %1 records it (without its log)</source>
        <translation>registros: o diário guarda o resultado, a unidade e o IMEI desta execução, e a próxima execução na porta %1 o registra (sem o log)</translation>
    </message>
    <message>
        <source>records: this run&apos;s record is lost: the run journal cannot keep it either; free space on the disk</source>
        <translation>registros: o registro desta execução se perdeu: o diário também não consegue guardá-lo; libere espaço no disco</translation>
    </message>
    <message>
        <source>cannot start the port&apos;s process: %1</source>
        <translation>não foi possível iniciar o processo da porta: %1</translation>
    </message>
    <message>
        <source>no run: %1</source>
        <translation>sem execução: %1</translation>
    </message>
    <message>
        <source>the port&apos;s process %1; Run starts a new one</source>
        <translation>o processo da porta %1; Executar inicia um novo</translation>
    </message>
    <message>
        <source>the customer stays until the runs under way have ended</source>
        <translation>o cliente não muda até as execuções em andamento terminarem</translation>
    </message>
    <message>
        <source>the operator stays until the runs under way have ended</source>
        <translation>o operador não muda até as execuções em andamento terminarem</translation>
    </message>
    <message>
        <source>this station requires the operator&apos;s id: enter it above first</source>
        <translation>esta estação exige o ID do operador: digite-o acima primeiro</translation>
    </message>
    <message>
        <source>refused: %1; nothing runs</source>
        <translation>recusado: %1; nada é executado</translation>
    </message>
    <message>
        <source>scan the unit first: this station requires its serial</source>
        <translation>escaneie a unidade primeiro: esta estação exige o número de série</translation>
    </message>
    <message>
        <source>First-pass and final yield since %1 (%2)</source>
        <translation>Rendimento de primeira passagem e final desde %1 (%2)</translation>
    </message>
    <message>
        <source>First-pass and final yield (%1)</source>
        <translation>Rendimento de primeira passagem e final (%1)</translation>
    </message>
    <message>
        <source>customer %1</source>
        <translation>cliente %1</translation>
    </message>
    <message>
        <source>unit %1, customer %2</source>
        <translation>unidade %1, cliente %2</translation>
    </message>
    <message>
        <source>%1 (run at %2)</source>
        <translation>%1 (execução em %2)</translation>
    </message>
    <message>
        <source>%1 (run at %2, unit %3)</source>
        <translation>%1 (execução em %2, unidade %3)</translation>
    </message>
    <message>
        <source>%1 (run at %2, customer %3)</source>
        <translation>%1 (execução em %2, cliente %3)</translation>
    </message>
    <message>
        <source>%1 (run at %2, unit %3, customer %4)</source>
        <translation>%1 (execução em %2, unidade %3, cliente %4)</translation>
    </message>
    <message>
        <source>the MES refused unit %1: %2</source>
        <translation>o MES recusou a unidade %1: %2</translation>
    </message>
    <message>
        <source>the MES did not agree to unit %1: %2; the run goes on (cfx-validate = advisory)</source>
        <translation>o MES não aprovou a unidade %1: %2; o teste continua (cfx-validate = advisory)</translation>
    </message>
    <message>
        <source>the MES did not answer about unit %1: %2; the run goes on (cfx-validate = advisory)</source>
        <translation>o MES não respondeu sobre a unidade %1: %2; o teste continua (cfx-validate = advisory)</translation>
    </message>
    <message>
        <source>the station is locked by the MES (%1): no run until it is unlocked</source>
        <translation>o MES bloqueou a estação (%1): nenhum teste até ser desbloqueada</translation>
    </message>
    <message>
        <source>the station is locked by the MES (%1, by %2): no run until it is unlocked</source>
        <translation>o MES bloqueou a estação (%1, por %2): nenhum teste até ser desbloqueada</translation>
    </message>
    <message>
        <source>CFX: %1 could not be queued for the factory network (%2); the run goes on without them</source>
        <translation>CFX: %1 não puderam entrar na fila da rede da fábrica (%2); o teste continua sem elas</translation>
    </message>
    <message>
        <source>the run&apos;s start messages</source>
        <translation>as mensagens de início do teste</translation>
    </message>
    <message>
        <source>the run&apos;s end messages</source>
        <translation>as mensagens de fim do teste</translation>
    </message>
    <message>
        <source>the interrupted run&apos;s messages</source>
        <translation>as mensagens do teste interrompido</translation>
    </message>
    <message>
        <source>CFX: the panels&apos; EndpointConnected could not be queued: %1</source>
        <translation>CFX: o EndpointConnected dos painéis não pôde entrar na fila: %1</translation>
    </message>
    <message>
        <source>an IMEI is pending in this station and this handset has none, and nobody said whether it is that handset: nothing was formatted. Run again and answer the question (on the command line: --pending-imei restore gives it the pending IMEI back, --pending-imei keep-aside keeps the IMEI aside)</source>
        <translation>há um IMEI pendente nesta estação, este aparelho não tem nenhum e ninguém disse se é aquele aparelho: nada foi formatado. Execute de novo e responda à pergunta (na linha de comando: --pending-imei restore devolve o IMEI pendente, --pending-imei keep-aside guarda o IMEI à parte)</translation>
    </message>
    <message>
        <source>%1 IMEIs are pending in this station and this handset has none, and nobody said which of them, if any, is its own: nothing was formatted. Pending: %2. Run again and answer each question (on the command line: --pending-imei restore=HEX gives this handset the IMEI HEX; &quot;ffsload pending&quot; lists them)</source>
        <translation>há %1 IMEIs pendentes nesta estação, este aparelho não tem nenhum e ninguém disse qual deles, se algum, é o dele: nada foi formatado. Pendentes: %2. Execute de novo e responda a cada pergunta (na linha de comando: --pending-imei restore=HEX dá a este aparelho o IMEI HEX; &quot;ffsload pending&quot; os lista)</translation>
    </message>
    <message>
        <source>this handset was scanned as unit %1, but the IMEI named, %2, is pending for unit %3: nothing was formatted. Scan the handset&apos;s own serial, or name its own IMEI</source>
        <translation>este aparelho foi lido como unidade %1, mas o IMEI informado, %2, está pendente para a unidade %3: nada foi formatado. Leia o número de série do próprio aparelho ou informe o IMEI dele</translation>
    </message>
    <message>
        <source>this handset was scanned as unit %1, whose IMEI %2 is pending, but the answer names IMEI %3: nothing was formatted. Scan the handset&apos;s own serial, or name its own IMEI</source>
        <translation>este aparelho foi lido como unidade %1, cujo IMEI %2 está pendente, mas a resposta informa o IMEI %3: nada foi formatado. Leia o número de série do próprio aparelho ou informe o IMEI dele</translation>
    </message>
    <message>
        <source>this handset was scanned as unit %1, whose IMEI %2 is pending from port %3, and the answer was that it is not that handset: IMEI %2 stays pending and nothing was formatted. Check the serial</source>
        <translation>este aparelho foi lido como unidade %1, cujo IMEI %2 está pendente desde a porta %3, e a resposta foi que não é aquele aparelho: o IMEI %2 continua pendente e nada foi formatado. Confira o número de série</translation>
    </message>
    <message>
        <source>this handset was scanned as unit %1, whose IMEI %2 is pending from port %3, and nobody confirmed that it is that handset: nothing was formatted. Run again and answer the question (on the command line: --pending-imei restore)</source>
        <translation>este aparelho foi lido como unidade %1, cujo IMEI %2 está pendente desde a porta %3, e ninguém confirmou que é aquele aparelho: nada foi formatado. Execute de novo e responda à pergunta (na linha de comando: --pending-imei restore)</translation>
    </message>
    <message>
        <source>The run on port %1 at %2 stopped after the format, before IMEI %3 was written back. Is this that handset? Yes gives it IMEI %3 back. No keeps IMEI %3 aside for good: no handset gets it unless an engineer restores it.</source>
        <translation>A execução na porta %1 em %2 parou após a formatação, antes de regravar o IMEI %3. Este é aquele aparelho? Sim: devolve a ele o IMEI %3. Não: guarda o IMEI %3 à parte para sempre; nenhum aparelho o recebe, a menos que um engenheiro o restaure.</translation>
    </message>
    <message>
        <source>The run on port %1 at %2 (%3) stopped after the format, before IMEI %4 was written back. Is this that handset? Yes gives it IMEI %4 back. No keeps IMEI %4 aside for good: no handset gets it unless an engineer restores it.</source>
        <translation>A execução na porta %1 em %2 (%3) parou após a formatação, antes de regravar o IMEI %4. Este é aquele aparelho? Sim: devolve a ele o IMEI %4. Não: guarda o IMEI %4 à parte para sempre; nenhum aparelho o recebe, a menos que um engenheiro o restaure.</translation>
    </message>
    <message>
        <source>The run on port %1 at %2 stopped after the format, before IMEI %3 was written back; it is one of %4 IMEIs pending in this station. Is this that handset? Yes gives it IMEI %3 back. No leaves IMEI %3 pending for its own handset.</source>
        <translation>A execução na porta %1 em %2 parou após a formatação, antes de regravar o IMEI %3; ele é um de %4 IMEIs pendentes nesta estação. Este é aquele aparelho? Sim: devolve a ele o IMEI %3. Não: deixa o IMEI %3 pendente para o aparelho dele.</translation>
    </message>
    <message>
        <source>The run on port %1 at %2 (%3) stopped after the format, before IMEI %4 was written back; it is one of %5 IMEIs pending in this station. Is this that handset? Yes gives it IMEI %4 back. No leaves IMEI %4 pending for its own handset.</source>
        <translation>A execução na porta %1 em %2 (%3) parou após a formatação, antes de regravar o IMEI %4; ele é um de %5 IMEIs pendentes nesta estação. Este é aquele aparelho? Sim: devolve a ele o IMEI %4. Não: deixa o IMEI %4 pendente para o aparelho dele.</translation>
    </message>
    <message>
        <source>Unit %1 stopped on port %2 at %3 after the format, before IMEI %4 was written back; this handset, scanned as unit %1, is on port %5. Is it that handset? Yes gives it IMEI %4 back. No leaves IMEI %4 pending and stops this run before the format.</source>
        <translation>A unidade %1 parou na porta %2 em %3 após a formatação, antes de regravar o IMEI %4; este aparelho, lido como unidade %1, está na porta %5. É aquele aparelho? Sim: devolve a ele o IMEI %4. Não: deixa o IMEI %4 pendente e para esta execução antes da formatação.</translation>
    </message>
    <message>
        <source>an earlier run&apos;s end messages, kept in the run journal</source>
        <translation>as mensagens de fim de um teste anterior, guardadas no diário</translation>
    </message>
    <message>
        <source>CFX: the run journal keeps this run&apos;s end messages, and the next run on port %1 queues them</source>
        <translation>CFX: o diário guarda as mensagens de fim deste teste, e o próximo teste na porta %1 as coloca na fila</translation>
    </message>
    <message>
        <source>CFX: this run&apos;s end messages are lost: the run journal cannot keep them either; free space on the disk</source>
        <translation>CFX: as mensagens de fim deste teste se perderam: o diário também não consegue guardá-las; libere espaço no disco</translation>
    </message>
    <message>
        <source>CFX: the sender %1 is missing; the messages wait in the station&apos;s queue</source>
        <translation>CFX: o emissor %1 não foi encontrado; as mensagens aguardam na fila da estação</translation>
    </message>
    <message>
        <source>CFX: the sender cannot run (%1); the messages wait in the station&apos;s queue and it is tried again</source>
        <translation>CFX: o emissor não consegue funcionar (%1); as mensagens aguardam na fila da estação e ele é tentado de novo</translation>
    </message>
    <message>
        <source>CFX: the sender stopped (%1) and is started again; the messages wait in the station&apos;s queue</source>
        <translation>CFX: o emissor parou (%1) e está sendo iniciado de novo; as mensagens aguardam na fila da estação</translation>
    </message>
</context>
<context>
    <name>PanelFile</name>
    <message>
        <source>ffsload panels</source>
        <translation>Painéis do ffsload</translation>
    </message>
    <message>
        <source>ffsload: customer and port</source>
        <translation>ffsload: cliente e porta</translation>
    </message>
    <message>
        <source>&amp;Customer number</source>
        <translation>Número do &amp;cliente</translation>
    </message>
    <message>
        <source>S&amp;ub-number</source>
        <translation>S&amp;ubnúmero</translation>
    </message>
    <message>
        <source>&amp;Port (1 to 8)</source>
        <translation>&amp;Porta (1 a 8)</translation>
    </message>
    <message>
        <source>&amp;Open the run panel</source>
        <translation>&amp;Abrir o painel de execução</translation>
    </message>
    <message>
        <source>&amp;Operator id</source>
        <translation>&amp;ID do operador</translation>
    </message>
    <message>
        <source>scan your badge, or type your id and Enter</source>
        <translation>passe o crachá ou digite seu ID</translation>
    </message>
    <message>
        <source>Enter confirms a field and moves to the next; Enter on the port opens the run panel.</source>
        <translation>Enter confirma o campo e passa ao próximo; Enter na porta abre o painel de execução.</translation>
    </message>
    <message>
        <source>ffsload: run</source>
        <translation>ffsload: execução</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Porta:</translation>
    </message>
    <message>
        <source>Script:</source>
        <translation>Script:</translation>
    </message>
    <message>
        <source>MA_NO:</source>
        <translation>MA_NO:</translation>
    </message>
    <message>
        <source>Operator:</source>
        <translation>Operador:</translation>
    </message>
    <message>
        <source>&amp;Unit serial:</source>
        <translation>N.º de série da &amp;unidade:</translation>
    </message>
    <message>
        <source>scan the unit, or type its serial and Enter</source>
        <translation>escaneie a unidade, ou digite o número de série e Enter</translation>
    </message>
    <message>
        <source>Line:</source>
        <translation>Linha:</translation>
    </message>
    <message>
        <source>Seconds:</source>
        <translation>Segundos:</translation>
    </message>
    <message>
        <source>&amp;Run</source>
        <translation>&amp;Executar</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Salvar</translation>
    </message>
    <message>
        <source>&amp;Yield</source>
        <translation>Rendi&amp;mento</translation>
    </message>
    <message>
        <source>First-pass yield of this station&apos;s runs, the last 14 days</source>
        <translation>Rendimento de primeira passagem desta estação, últimos 14 dias</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>Sai&amp;r</translation>
    </message>
    <message>
        <source>The last run&apos;s result: RUNNING, PASS or FAIL</source>
        <translation>Resultado do último teste: EXECUTANDO, APROVADO ou REPROVADO</translation>
    </message>
</context>
<context>
    <name>ReportWindow</name>
    <message>
        <source>Day</source>
        <translation>Dia</translation>
    </message>
    <message>
        <source>Customer</source>
        <translation>Cliente</translation>
    </message>
    <message>
        <source>Runs</source>
        <translation>Execuções</translation>
    </message>
    <message>
        <source>Units</source>
        <translation>Unidades</translation>
    </message>
    <message>
        <source>First-pass yield</source>
        <translation>Rendimento 1ª passagem</translation>
    </message>
    <message>
        <source>Final yield</source>
        <translation>Rendimento final</translation>
    </message>
    <message>
        <source>Most frequent failing line</source>
        <translation>Linha que mais falha</translation>
    </message>
    <message>
        <source>line %1: %2 (%3 times)</source>
        <translation>linha %1: %2 (%3 vezes)</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fechar</translation>
    </message>
    <message>
        <source>First-pass and final yield per day</source>
        <translation>Rendimento de 1ª passagem e final por dia</translation>
    </message>
    <message>
        <source>no runs</source>
        <translation>sem execuções</translation>
    </message>
    <message>
        <source>final yield</source>
        <translation>rendimento final</translation>
    </message>
    <message>
        <source>customer</source>
        <translation>cliente</translation>
    </message>
</context>
<context>
    <name>RunState</name>
    <message>
        <source>RUNNING</source>
        <translation>EXECUTANDO</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>APROVADO</translation>
    </message>
    <message>
        <source>FAIL</source>
        <translation>REPROVADO</translation>
    </message>
</context>
<context>
    <name>ffsload::MessageBox</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>ffsload::YesNoBox</name>
    <message>
        <source>Click Yes or No, or press Y or N. Enter alone does nothing.</source>
        <translation>Clique em Sim ou Não, ou tecle Y ou N. Só Enter não faz nada.</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>Sim (&amp;Y)</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>Não (&amp;N)</translation>
    </message>
</context>
</TS>
